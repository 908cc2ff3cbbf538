#pragma once

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "GameManager.h"
#include "WorldManager.h"

namespace test {

/// The repository root, for data files such as the font and the sprites.
inline std::filesystem::path sourceDir() {
    return MOLTRIX_SOURCE_DIR;
}

/// Runs a test in a fresh, empty working folder (the log file lands there),
/// optionally with copies of data files from the repository.
class ScratchDir {
public:
    explicit ScratchDir(std::initializer_list<const char*> dataFiles = {}) {
        previous = std::filesystem::current_path();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "scratch";
        for (char& c : name) {
            if (c == '/') c = '_';
        }
        path = std::filesystem::temp_directory_path() / ("moltrix-test-" + std::to_string(::getpid()) + "-" + name);
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
        for (const char* file : dataFiles) {
            const auto target = path / file;
            std::filesystem::create_directories(target.parent_path());
            std::filesystem::copy(sourceDir() / file, target, std::filesystem::copy_options::recursive);
        }
        std::filesystem::current_path(path);
    }
    ~ScratchDir() {
        std::filesystem::current_path(previous);
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    [[nodiscard]] const std::filesystem::path& getPath() const { return path; }

private:
    std::filesystem::path previous;
    std::filesystem::path path;
};

inline std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

/// Counts the lines of text that contain needle.
inline int countLines(const std::string& text, const std::string& needle) {
    std::istringstream in(text);
    int count = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.find(needle) != std::string::npos) {
            ++count;
        }
    }
    return count;
}

/// A fixture with a started, empty world; every object left over is destroyed after the test.
class WorldTest : public ::testing::Test {
protected:
    void SetUp() override {
        mx::WorldManager& world = mx::WorldManager::getInstance();
        world.shutDown();
        ASSERT_EQ(world.startUp(), 0);
        world.setBoundary(mx::Box(0.0f, 80.0f, 0.0f, 24.0f));
        world.setView(mx::Box(0.0f, 80.0f, 0.0f, 24.0f));
        world.setViewFollowing(nullptr);
        mx::GameManager::getInstance().setGameOver(false);
    }
    void TearDown() override { mx::WorldManager::getInstance().shutDown(); }
};

} // namespace test
