// Every loader's fuzz target runs for about 30 seconds on its seed corpus
// (scripts/fuzz builds them with clang in build-fuzz/ first). A crash, a
// sanitizer report or a broken invariant fails the test; the input that
// did it is kept in build-fuzz/artifacts/.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>

namespace {

void fuzz(const char* target) {
    const char* source = std::getenv("DEMO_SOURCE_DIR");
    std::string root = source ? source : ".";
    std::string command = root + "/scripts/fuzz 30 " + target;
    int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << command;
    EXPECT_EQ(WEXITSTATUS(status), 0) << command;
}

}  // namespace

TEST(LoaderFuzz, Bmp) { fuzz("bmp"); }
TEST(LoaderFuzz, Tga) { fuzz("tga"); }
TEST(LoaderFuzz, Polyhedron) { fuzz("polyhedron"); }
