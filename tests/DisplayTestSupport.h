#pragma once

#include <filesystem>
#include <string>

#include <SFML/Graphics.hpp>
#include <gtest/gtest.h>

#include "DisplayManager.h"
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

} // namespace test
