#pragma once

#include <filesystem>
#include <string>

#include <SFML/Graphics.hpp>
#include <gtest/gtest.h>

#include "DisplayManager.h"
#include "GameManager.h"
#include "InputManager.h"
#include "TestSupport.h"
#include "WorldManager.h"

namespace test {

/// Where tests leave their screenshots (scripts/update-docs copies them to docs/).
inline std::filesystem::path screenshotDir() {
    const std::filesystem::path dir = std::filesystem::path(MOLTRIX_BINARY_DIR) / "screenshots";
    std::filesystem::create_directories(dir);
    return dir;
}

/// What the window's hidden buffer holds now.
inline sf::Image readBack(const sf::RenderWindow& window) {
    sf::Texture texture(window.getSize());
    texture.update(window);
    return texture.copyToImage();
}

/// A started display with the repository's font, in a scratch working folder,
/// the view on the grid's cells (0, 0) to (80, 24).
class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        mx::WorldManager::getInstance().setView(mx::Box(0.0f, 80.0f, 0.0f, 24.0f));
        ASSERT_EQ(display().startUp(), 0);
    }
    void TearDown() override {
        display().setBackgroundColor(mx::BLACK);
        display().shutDown();
    }
    static mx::DisplayManager& display() { return mx::DisplayManager::getInstance(); }

    ScratchDir dir{"mx-font.ttf"};
};

/// A started display with a started, empty world and input: objects get real window events.
/// Whatever the test leaves in the world is destroyed after it.
class LiveWorldTest : public DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        world().shutDown();
        ASSERT_EQ(world().startUp(), 0);
        ASSERT_EQ(mx::InputManager::getInstance().startUp(), 0);
        mx::GameManager::getInstance().setGameOver(false);
    }
    void TearDown() override {
        mx::InputManager::getInstance().shutDown();
        world().shutDown();
        mx::GameManager::getInstance().setGameOver(false);
        DisplayTest::TearDown();
    }
    static mx::WorldManager& world() { return mx::WorldManager::getInstance(); }
};

} // namespace test
