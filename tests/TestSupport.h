#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <SFML/Graphics.hpp>
#include <gtest/gtest.h>

#include <mx/DisplayManager.h>
#include <mx/EventStep.h>
#include <mx/GameManager.h>
#include <mx/InputManager.h>
#include <mx/ResourceManager.h>
#include <mx/Version.h>
#include <mx/WorldManager.h>

#include "Bird.h"

namespace test {

/// The repository, as an absolute path of the platform's own kind (under Wine: on drive Z:).
inline std::filesystem::path sourceDir() {
    static const std::filesystem::path dir = std::filesystem::absolute(MOLTRIX_SOURCE_DIR);
    return dir;
}

/// Sets an environment variable that names a folder, as the platform reads it.
inline void setFolderVariable(const char* name, const std::filesystem::path& folder) {
#ifdef _WIN32
    const std::wstring wide(name, name + std::char_traits<char>::length(name));
    ::_wputenv_s(wide.c_str(), folder.c_str());
#else
    ::setenv(name, folder.c_str(), 1);
#endif
}

/// Points the user's state folder ($XDG_STATE_HOME, %LOCALAPPDATA% on Windows) at a folder.
inline void setUserStateFolder(const std::filesystem::path& folder) {
#ifdef _WIN32
    setFolderVariable("LOCALAPPDATA", folder);
#else
    setFolderVariable("XDG_STATE_HOME", folder);
#endif
}

/// Points the user's data folder ($XDG_DATA_HOME, %APPDATA% on Windows) at a folder.
inline void setUserDataFolder(const std::filesystem::path& folder) {
#ifdef _WIN32
    setFolderVariable("APPDATA", folder);
#else
    setFolderVariable("XDG_DATA_HOME", folder);
#endif
}

/// Where tests leave screenshots; scripts/update-docs copies them to docs/.
inline std::filesystem::path screenshot(const char* name) {
    static const auto dir = std::filesystem::absolute(MOLTRIX_BINARY_DIR) / "screenshots";
    std::filesystem::create_directories(dir);
    return dir / name;
}

/// A fresh working folder for one test, with copies of repository files or folders.
class ScratchDir {
public:
    explicit ScratchDir(std::initializer_list<const char*> files = {}) : previous(std::filesystem::current_path()) {
        path = std::filesystem::temp_directory_path() /
               ("moltrix-" + std::to_string(::getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
        for (const char* file : files) std::filesystem::copy(sourceDir() / file, path / file, std::filesystem::copy_options::recursive);
        std::filesystem::current_path(path);
    }
    ~ScratchDir() {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(path);
    }
    [[nodiscard]] const std::filesystem::path& getPath() const { return path; }

private:
    std::filesystem::path previous, path;
};

/// A text file's content, its lines ending in '\n' (Windows' "\r\n" read as such).
inline std::string readFile(const std::filesystem::path& file) {
    std::ostringstream content;
    content << std::ifstream(file).rdbuf();
    return content.str();
}

inline int countLines(const std::string& text, const std::string& needle) {
    std::istringstream in(text);
    int count = 0;
    for (std::string line; std::getline(in, line);) count += line.find(needle) != std::string::npos;
    return count;
}

/// A started, empty world of the game's size seen through an 80 x 24 view; whatever a
/// test leaves in it is destroyed afterwards.
class WorldTest : public ::testing::Test {
protected:
    void SetUp() override {
        world().shutDown();
        ASSERT_EQ(world().startUp(), 0);
        world().setBoundary(mx::Box(-100, 100, -50, 50));
        world().setView(mx::Box(-40, 40, -12, 12));
        mx::GameManager::getInstance().setGameOver(false);
    }
    void TearDown() override { world().shutDown(); }
    static mx::WorldManager& world() { return mx::WorldManager::getInstance(); }
    static Bird* bird(int color, mx::Vector at, mx::Vector velocity = mx::Vector::ZERO) {
        auto* b = new Bird(color);
        b->setPosition(at);
        b->setVelocity(velocity);
        return b;
    }
    static void step() {
        const mx::EventStep event;
        world().onEvent(&event);
    }
};

/// A WorldTest with the resource manager started afresh, and stopped after.
class ResourceTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        rm().shutDown();
        ASSERT_EQ(rm().startUp(), 0);
    }
    void TearDown() override {
        WorldTest::TearDown();
        rm().shutDown();
    }
    static mx::ResourceManager& rm() { return mx::ResourceManager::getInstance(); }
};

#ifndef _WIN32 // tests with a window drive it through X11: on Linux only

/// A WorldTest with a started display (with the repository's font) and input.
class DisplayTest : public WorldTest {
protected:
    /// Polls the window for a while, as frames would.
    static void pump(int ms) {
        for (const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms); std::chrono::steady_clock::now() < end;) {
            mx::InputManager::getInstance().getInput();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    /// Runs an xdotool command on the display's window: "xdotool WHAT <window id> ARGS".
    static int xdotool(const std::string& what, const std::string& args) {
        return std::system(("xdotool " + what + " " + std::to_string(display().getWindow()->getNativeHandle()) + " " + args).c_str());
    }
    /// Sizes the window through the X server, as a window manager would, and lets the display take the new size.
    static void resizeWindow(unsigned width, unsigned height) {
        ASSERT_EQ(xdotool("windowsize", std::to_string(width) + " " + std::to_string(height)), 0);
        for (int i = 0; i < 400 && display().getWindow()->getSize() != sf::Vector2u(width, height); ++i) pump(5);
    }
    void SetUp() override {
        WorldTest::SetUp();
        ASSERT_EQ(display().startUp(), 0);
        ASSERT_EQ(mx::InputManager::getInstance().startUp(), 0);
    }
    void TearDown() override {
        WorldTest::TearDown();
        mx::InputManager::getInstance().shutDown();
        display().setBackgroundColor(mx::BLACK);
        display().shutDown();
    }
    static mx::DisplayManager& display() { return mx::DisplayManager::getInstance(); }
    ScratchDir dir{"mx-font.ttf"};
};

#endif

/// A test of the engine started without a window (its own start-up is the test's), in a
/// scratch folder with the game's data; no display is needed or used.
class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef _WIN32
        ::unsetenv("DISPLAY"); // proves no window is opened: there is nowhere to open one
#endif
        mx::DisplayManager::getInstance().setHeadless(true);
    }
    void TearDown() override {
        mx::GameManager::getInstance().shutDown();
        mx::DisplayManager::getInstance().setHeadless(false);
        mx::ResourceManager::getInstance().setDataFolder({}); // the game's set-up points it into dir
    }
    static mx::GameManager& game() { return mx::GameManager::getInstance(); }
    static mx::DisplayManager& display() { return mx::DisplayManager::getInstance(); }
    static mx::InputManager& input() { return mx::InputManager::getInstance(); }
    static mx::WorldManager& world() { return mx::WorldManager::getInstance(); }
    /// An input script of a format version: this engine's header, then the lines given.
    static std::string script(const std::string& body, std::uint32_t seed = 9, int version = 1) {
        return "moltrix-input " + std::to_string(version) + "\nengine " + std::string(mx::engineVersion()) + "\nseed " +
               std::to_string(seed) + "\n" + body;
    }
    /// Replays a script from the next frame on.
    static void replay(const std::string& text) {
        std::istringstream in(text);
        ASSERT_EQ(input().startReplayFromStream(in, "script"), 0);
    }
    ScratchDir dir{"sprites", "sounds"};
};

} // namespace test
