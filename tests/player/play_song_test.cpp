// The preview player's live song: a watched file whose valid changes are rendered and take over,
// and whose invalid changes are reported while the song that plays stays.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "player/play_song.h"
#include "synth/song.h"
#include "tools/song_file.h"

namespace {

struct SongFolder {
  std::string dir;
  std::string path;
  SongFolder() {
    char name[] = "/tmp/play_song_test.XXXXXX";
    dir = mkdtemp(name);
    path = dir + "/song.json";
  }
  ~SongFolder() {
    std::remove(path.c_str());
    rmdir(dir.c_str());
  }
  void write(const std::string& text) const {
    // As editors do: a new file renamed over the old one.
    const std::string temporary = path + ".new";
    std::ofstream(temporary, std::ios::binary) << text;
    std::rename(temporary.c_str(), path.c_str());
  }
};

const std::string& builtinJson() {
  static const std::string json = songToJson(builtinSong());
  return json;
}

// Polls until an event other than none comes, or about ten seconds pass.
LiveSong::Event nextEvent(LiveSong& song, std::uint32_t position) {
  for (int i = 0; i < 2000; ++i) {
    LiveSong::Event event = song.poll(position);
    if (event.kind != LiveSong::Event::Kind::none) return event;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return {};
}

TEST(LiveSong, AnInvalidFileAtTheStartIsRefusedWithItsProblems) {
  SongFolder folder;
  folder.write("{\"songPatterns\": [1, 2, 3]}");
  LiveSong song(0);
  std::string problems;
  EXPECT_FALSE(song.start(folder.path, problems));
  EXPECT_NE(problems.find(folder.path + " is not a valid song file:"), std::string::npos) << problems;
  EXPECT_NE(problems.find("songOrder: is missing"), std::string::npos) << problems;
}

TEST(LiveSong, ABrokenChangeKeepsTheSongAndAValidOneTakesOverOnceRendered) {
  SongFolder folder;
  folder.write(builtinJson());
  LiveSong song(0);
  std::string problems;
  ASSERT_TRUE(song.start(folder.path, problems)) << problems;
  ASSERT_TRUE(song.watching());
  const SynthMemory* first = &song.current().memory();
  EXPECT_EQ(song.poll(0).kind, LiveSong::Event::Kind::none);  // nothing changed

  folder.write(builtinJson().substr(0, builtinJson().size() / 2));
  LiveSong::Event event = nextEvent(song, 0);
  EXPECT_EQ(event.kind, LiveSong::Event::Kind::refused);
  EXPECT_NE(event.text.find(folder.path + " is not a valid song file:"), std::string::npos) << event.text;
  EXPECT_EQ(&song.current().memory(), first);
  EXPECT_EQ(song.poll(0).kind, LiveSong::Event::Kind::none);  // reported once

  // Valid again (the same song, written out differently): rendered, then it takes over.
  folder.write(builtinJson() + "\n");
  event = nextEvent(song, 0);
  EXPECT_EQ(event.kind, LiveSong::Event::Kind::rendering);
  EXPECT_EQ(&song.current().memory(), first);
  const std::uint32_t position = 3 * framesPerPattern;
  event = nextEvent(song, position);
  ASSERT_EQ(event.kind, LiveSong::Event::Kind::replaced);
  EXPECT_NE(&song.current().memory(), first);
  EXPECT_TRUE(song.current().covers(position));
  // The same song renders the same sound.
  SynthMemoryPtr reference = allocateSynthMemory();
  ASSERT_TRUE(renderSongFrames(*reference, builtinSong(), position));
  EXPECT_EQ(std::memcmp(reference->soundBuffer, song.current().memory().soundBuffer, sizeof(float) * 2 * position), 0);
}

TEST(LiveSong, AFifoInPlaceOfTheFileIsRefusedWithoutWaitingForAWriter) {
  SongFolder folder;
  folder.write(builtinJson());
  LiveSong song(0);
  std::string problems;
  ASSERT_TRUE(song.start(folder.path, problems)) << problems;
  const SynthMemory* first = &song.current().memory();
  std::remove(folder.path.c_str());
  ASSERT_EQ(::mkfifo(folder.path.c_str(), 0644), 0);
  ::alarm(20);  // a read that waits for a writer would hang: the alarm ends the test instead
  const LiveSong::Event event = nextEvent(song, 0);
  ::alarm(0);
  EXPECT_EQ(event.kind, LiveSong::Event::Kind::refused);
  EXPECT_NE(event.text.find(folder.path), std::string::npos) << event.text;
  EXPECT_NE(event.text.find("a FIFO"), std::string::npos) << event.text;
  EXPECT_EQ(&song.current().memory(), first);
}

TEST(LiveSong, ABrokenChangeDuringARenderDropsThatRender) {
  SongFolder folder;
  folder.write(builtinJson());
  LiveSong song(0);
  std::string problems;
  ASSERT_TRUE(song.start(folder.path, problems)) << problems;
  const SynthMemory* first = &song.current().memory();
  folder.write(builtinJson() + " ");
  ASSERT_EQ(nextEvent(song, songFrames).kind, LiveSong::Event::Kind::rendering);
  folder.write("[");
  EXPECT_EQ(nextEvent(song, songFrames).kind, LiveSong::Event::Kind::refused);
  // The render of the earlier change never takes over, even once it would cover the position.
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(song.poll(0).kind, LiveSong::Event::Kind::none);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_EQ(&song.current().memory(), first);
}

TEST(LiveSong, TheBuiltInSongIsNotWatched) {
  LiveSong song(0);
  std::string problems;
  ASSERT_TRUE(song.start("", problems));
  EXPECT_FALSE(song.watching());
  EXPECT_EQ(song.poll(0).kind, LiveSong::Event::Kind::none);
  for (int i = 0; i < 2000 && !song.current().covers(framesPerPattern); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(song.current().covers(framesPerPattern));
  EXPECT_TRUE(song.current().ok());
}

}  // namespace
