#include <mx/DisplayManager.h>

#include <locale>

#include <SFML/Graphics/Texture.hpp>
#include <SFML/System/Exception.hpp>
#include <SFML/System/String.hpp>

#include <mx/LogManager.h>
#include <mx/ResourceManager.h>
#include <mx/WorldManager.h>

#include "CharBatch.h"
#include "Immortal.h"

// Where the engine's own font lies: installed with the package, and in the source tree
// the engine was built from. Built outside CMake, there is none.
#ifndef MX_INSTALLED_FONT_DIR
#define MX_INSTALLED_FONT_DIR ""
#endif
#ifndef MX_SOURCE_FONT_DIR
#define MX_SOURCE_FONT_DIR ""
#endif

namespace mx {

namespace {

const char* const DRAW_BEFORE_START =
    "ERROR: DisplayManager::drawCh(): Cannot draw before display manager has been started";

} // namespace

DisplayManager& DisplayManager::getInstance() {
    static Immortal<DisplayManager> instance;
    return instance.get();
}

DisplayManager::DisplayManager()
    : cellWidth(static_cast<float>(windowWidth) / static_cast<float>(horizontalCells)),
      cellHeight(static_cast<float>(windowHeight) / static_cast<float>(verticalCells)),
      batch(std::make_unique<CharBatch>(sf::Vector2f(static_cast<float>(windowWidth), static_cast<float>(windowHeight)))) {
    setType(TYPE);
}

DisplayManager::~DisplayManager() = default;

std::size_t DisplayManager::getPendingSegmentCount() const {
    return batch->getSegmentCount();
}

std::size_t DisplayManager::getPendingBackgroundCount() const {
    return batch->getBackgroundCount();
}

int DisplayManager::startUpImpl() {
    LogManager& log = LogManager::getInstance();
    window = std::make_unique<sf::RenderWindow>(
        sf::VideoMode({static_cast<unsigned>(windowWidth), static_cast<unsigned>(windowHeight)}, 32),
        sf::String(windowTitle, std::locale()), sf::Style::Titlebar | sf::Style::Close,
        sf::State::Windowed, sf::ContextSettings{});
    if (!window->isOpen()) {
        log.writeLog("ERROR: DisplayManager::startUpImpl(): Failed to create SFML window");
        window.reset();
        return -1;
    }
    try {
        fontStream = std::make_unique<sf::FileInputStream>(fontPath());
    } catch (const sf::Exception&) {
        log.writeLog("ERROR: DisplayManager::startUpImpl(): Failed to find font file: %s", fontFile.string().c_str());
        releaseAll();
        return -1;
    }
    try {
        font = std::make_unique<sf::Font>(*fontStream);
    } catch (const sf::Exception&) {
        log.writeLog("ERROR: DisplayManager::startUpImpl(): Failed to load font file: %s", fontFile.string().c_str());
        releaseAll();
        return -1;
    }
    glyphCache.fill(std::nullopt);
    batch->clear();
    // Cells start at fractions of a pixel (12.8 per column): unfiltered glyphs stay crisp there.
    font->setSmooth(false);

    window->setVerticalSyncEnabled(true);
    window->setMouseCursorVisible(false);
    window->clear(backgroundColor);
    window->display();
    clearWindow();
    window->setKeyRepeatEnabled(false);
    return 0;
}

void DisplayManager::setWindowTitle(std::string title) {
    windowTitle = std::move(title);
    if (window) {
        window->setTitle(sf::String(windowTitle, std::locale()));
    }
}

void DisplayManager::setFontFile(std::filesystem::path file) {
    fontFile = std::move(file);
    ownFont = true;
}

std::filesystem::path DisplayManager::fontPath() const {
    const std::filesystem::path inData = ResourceManager::getInstance().resolve(fontFile);
    std::error_code error;
    if (ownFont || std::filesystem::exists(inData, error)) {
        return inData;
    }
    for (const char* folder : {MX_INSTALLED_FONT_DIR, MX_SOURCE_FONT_DIR}) {
        const std::filesystem::path engineFont = std::filesystem::path(folder) / FONT_FILE;
        if (*folder != '\0' && std::filesystem::exists(engineFont, error)) {
            return engineFont;
        }
    }
    return inData;
}

void DisplayManager::shutDownImpl() {
    releaseAll();
}

void DisplayManager::releaseAll() {
    batch->clear();
    glyphCache.fill(std::nullopt);
    font.reset();
    fontStream.reset();
    if (window) {
        window->close();
    }
    window.reset();
}

const sf::Glyph* DisplayManager::glyphFor(char ch) {
    std::optional<sf::Glyph>& cached = glyphCache[static_cast<unsigned char>(ch)];
    if (!cached) {
        // Converted as sf::Text converts a one-character string.
        const sf::String text(ch, std::locale());
        const char32_t codePoint = text.isEmpty() ? U'\0' : text[0];
        if (codePoint == U' ' || codePoint == U'\t' || codePoint == U'\n') {
            cached = sf::Glyph{}; // sf::Text lays out no quad for these
        } else {
            cached = font->getGlyph(codePoint, FONT_SIZE, false);
        }
    }
    return &*cached;
}

void DisplayManager::drawCell(Vector position, char ch, const sf::Color& color) {
    const Box view = WorldManager::getInstance().getView();
    const sf::Vector2f pixel(cellWidth * (position.x - view.left), cellHeight * (position.y - view.top));
    batch->addCell(sf::FloatRect(pixel, {cellWidth, cellHeight}), backgroundColor, glyphFor(ch),
                  pixel + sf::Vector2f(0.0f, static_cast<float>(FONT_SIZE)), color);
}

int DisplayManager::drawCh(Vector position, char ch, const sf::Color& color) {
    if (!isStarted()) {
        LogManager::getInstance().writeLog("%s", DRAW_BEFORE_START);
        return -1;
    }
    drawCell(position, ch, color);
    return 0;
}

int DisplayManager::drawString(Vector position, const std::string& text, Justification justification,
                               const sf::Color& color, char transparent) {
    if (!isStarted()) {
        LogManager::getInstance().writeLog("%s", DRAW_BEFORE_START);
        return -1;
    }
    const std::size_t length = text.size();
    switch (justification) {
    case CENTER_JUSTIFIED:
        position.x -= static_cast<float>(length) * 0.5f;
        [[fallthrough]];
    case LEFT_JUSTIFIED:
        for (std::size_t i = 0; i < length && text[i] != '\0'; ++i) {
            if (text[i] != transparent) {
                drawCell(Vector(position.x + static_cast<float>(i), position.y), text[i], color);
            }
        }
        break;
    case RIGHT_JUSTIFIED:
        for (std::size_t i = 0; i < length; ++i) {
            if (text[i] != transparent) {
                drawCell(Vector(position.x - static_cast<float>(length - 1 - i), position.y), text[i], color);
            }
        }
        break;
    }
    return 0;
}

void DisplayManager::swapBuffers() {
    if (!isStarted()) {
        LogManager::getInstance().writeLog(
            "ERROR: DisplayManager::swapBuffers(): Cannot swap buffers before display manager has been started");
        return;
    }
    flushBatch();
    window->display();
    clearWindow();
}

void DisplayManager::flushBatch() {
    batch->draw(*window, font->getTexture(FONT_SIZE));
    batch->clear();
}

sf::Image DisplayManager::capture() {
    if (!isStarted()) {
        return {};
    }
    flushBatch();
    setWindowHoldsOnlyBackground(false); // later cells land on what was just drawn
    sf::Texture texture(window->getSize());
    texture.update(*window);
    return texture.copyToImage();
}

void DisplayManager::setBackgroundColor(sf::Color color) {
    backgroundColor = color;
    if (window) {
        // Clearing at once also wipes what was drawn so far in this frame.
        batch->clear();
        clearWindow();
    }
}

void DisplayManager::clearWindow() {
    window->clear(backgroundColor);
    setWindowHoldsOnlyBackground(true);
}

void DisplayManager::setWindowHoldsOnlyBackground(bool only) {
    windowHoldsOnlyBackground = only;
    // A translucent background blends with what is under it: then every one counts.
    batch->setTargetHoldsOnlyBackground(only && backgroundColor.a == 255);
}

} // namespace mx
