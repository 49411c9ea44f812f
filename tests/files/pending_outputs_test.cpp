// Several outputs of one run are written all or none: when the rename of a later
// one fails, the earlier ones already renamed are taken back, each replaced file
// gets its earlier content again, a file that did not exist is gone again, and no
// temporary or second name is left beside them.
#include "files/pending_outputs.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "errors/failure.hpp"

namespace {

namespace fs = std::filesystem;

struct Folder {
  fs::path path =
      fs::temp_directory_path() / ("velmora-outputs-" + std::to_string(getpid()) + "-" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  Folder() { fs::create_directories(path); }
  ~Folder() { fs::remove_all(path); }
  std::string at(const char* name) const { return (path / name).string(); }
  std::set<std::string> names() const {
    std::set<std::string> all;
    for (const auto& entry : fs::directory_iterator(path)) all.insert(entry.path().filename().string());
    return all;
  }
};

void put(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string text_of(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// Three outputs: "old" replaced, "new" created, then "late" whose rename fails: a
// folder took its place after it was reserved.
TEST(PendingOutputs, FailedLaterRenameRestoresEarlierOutputs) {
  Folder folder;
  put(folder.at("old"), "earlier content\n");
  put(folder.at("late"), "late content\n");
  try {
    velmora::PendingOutputs outputs("test", "this output");
    outputs.write(folder.at("old"), "replaced\n");
    outputs.write(folder.at("new"), [](velmora::TextSink& out) { out.add("made "), out.add("in pieces\n"); });
    outputs.write(folder.at("late"), "late replaced\n");
    fs::remove(folder.at("late"));
    fs::create_directory(folder.at("late"));
    put(folder.at("late/inside"), "x");
    outputs.commit();
    FAIL() << "the commit succeeded";
  } catch (const velmora::frontend::Error& e) {
    EXPECT_EQ(e.failure().file, folder.at("late"));
    EXPECT_NE(e.failure().reason.find("the outputs before it are restored as they were"), std::string::npos)
        << e.failure().reason;
  }
  EXPECT_EQ(text_of(folder.at("old")), "earlier content\n");
  EXPECT_FALSE(fs::exists(folder.at("new")));
  EXPECT_TRUE(fs::is_directory(folder.at("late")));
  EXPECT_EQ(folder.names(), (std::set<std::string>{"old", "late"}));
}

TEST(PendingOutputs, CommitReplacesEveryOutputAndLeavesNoSecondName) {
  Folder folder;
  put(folder.at("old"), "earlier content\n");
  {
    velmora::PendingOutputs outputs("test", "this output");
    outputs.write(folder.at("old"), "replaced\n");
    outputs.write(folder.at("new"), [](velmora::TextSink& out) {
      for (int i = 0; i < 300000; ++i) out.add("0123456789\n");  // several pieces
    });
    outputs.commit();
  }
  EXPECT_EQ(text_of(folder.at("old")), "replaced\n");
  EXPECT_EQ(fs::file_size(folder.at("new")), 3300000u);
  EXPECT_EQ(folder.names(), (std::set<std::string>{"old", "new"}));
}

}  // namespace
