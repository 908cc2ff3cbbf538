#include <mx/DisplayManager.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <ctime>
#include <fstream>
#include <locale>

#include <SFML/Graphics/RenderTexture.hpp>
#include <SFML/Graphics/Texture.hpp>
#include <SFML/Window/VideoMode.hpp>
#include <SFML/System/Exception.hpp>
#include <SFML/System/String.hpp>

#include <mx/LogManager.h>
#include <mx/ResourceManager.h>
#include <mx/WorldManager.h>

#include "CharBatch.h"
#include "DataFile.h"
#include "FileWrite.h"
#include "Immortal.h"
#include "Platform.h"

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

/// Why a file cannot be a window's icon; nothing when it is a PNG image of a size a window
/// takes. Read from its header, before any decoder sees a file that could be huge inside.
std::optional<std::string> whyNoIcon(const std::filesystem::path& file, unsigned largest) {
    if (auto why = whyNotDataFile(file)) {
        return why;
    }
    std::array<unsigned char, 24> head{};
    std::ifstream in(file, std::ios::binary);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    if (in.gcount() != static_cast<std::streamsize>(head.size()) || std::memcmp(head.data(), "\x89PNG\r\n\x1a\n", 8) != 0 ||
        std::memcmp(head.data() + 12, "IHDR", 4) != 0) {
        return "it is no PNG image";
    }
    const auto bigEndian = [&](std::size_t at) {
        return (std::uint32_t{head[at]} << 24) | (std::uint32_t{head[at + 1]} << 16) | (std::uint32_t{head[at + 2]} << 8) |
               std::uint32_t{head[at + 3]};
    };
    const std::uint32_t width = bigEndian(16), height = bigEndian(20);
    if (width == 0 || height == 0 || width > largest || height > largest) {
        return "it is " + std::to_string(width) + " x " + std::to_string(height) + " pixels, not 1 to " +
               std::to_string(largest) + " a side";
    }
    return std::nullopt;
}

} // namespace

DisplayManager& DisplayManager::getInstance() {
    static Immortal<DisplayManager> instance;
    return instance.get();
}

DisplayManager::DisplayManager()
    : cellWidth(static_cast<float>(windowWidth) / static_cast<float>(horizontalCells)),
      cellHeight(static_cast<float>(windowHeight) / static_cast<float>(verticalCells)),
      laidOutFor(static_cast<unsigned>(windowWidth), static_cast<unsigned>(windowHeight)),
      picture({0, 0}, {windowWidth, windowHeight}),
      shownCell(cellWidth, cellHeight),
      drawingGrid(horizontalCells, verticalCells), shownGrid(horizontalCells, verticalCells),
      batch(std::make_unique<CharBatch>(sf::Vector2f(static_cast<float>(windowWidth), static_cast<float>(windowHeight)))),
      shownBatch(std::make_unique<CharBatch>(sf::Vector2f(static_cast<float>(windowWidth), static_cast<float>(windowHeight)))) {
    setType(TYPE);
}

DisplayManager::~DisplayManager() = default;

std::size_t DisplayManager::getPendingSegmentCount() const {
    return batch->getSegmentCount();
}

std::size_t DisplayManager::getPendingBackgroundCount() const {
    return batch->getBackgroundCount();
}

void DisplayManager::setHeadless(bool on) {
    if (isStarted() && on != headless) {
        LogManager::getInstance().writeLog("ERROR: DisplayManager::setHeadless(): Cannot change while started");
        return;
    }
    headless = on;
}

int DisplayManager::startUpImpl() {
    drawingGrid.clear(backgroundColor);
    shownGrid.clear(backgroundColor);
    if (headless) {
        return 0;
    }
    LogManager& log = LogManager::getInstance();
    // Without a display the windowing library would abort the whole program.
    if (const std::string problem = platform::displayProblem(); !problem.empty()) {
        log.writeLog("ERROR: DisplayManager::startUpImpl(): No display to open a window on: %s", problem.c_str());
        return -1;
    }
    window = std::make_unique<sf::RenderWindow>(sf::VideoMode(startSize(), 32), sf::String(windowTitle, std::locale()),
                                                sf::Style::Default, sf::State::Windowed, sf::ContextSettings{});
    if (!window->isOpen()) {
        log.writeLog("ERROR: DisplayManager::startUpImpl(): Failed to create SFML window");
        window.reset();
        return -1;
    }
    const std::filesystem::path fontFound = fontPath();
    // A folder or a FIFO would reach SFML's stream, which cannot tell why it fails or blocks.
    if (const auto why = whyNotDataFile(fontFound); why && !isMissing(why)) {
        log.writeLog("ERROR: DisplayManager::startUpImpl(): Failed to open font file: '%s': it %s",
                     fontFound.string().c_str(), why->c_str());
        releaseAll();
        return -1;
    }
    try {
        fontStream = std::make_unique<sf::FileInputStream>(fontFound);
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
    std::error_code error;
    log.writeLog(1, "INFO: DisplayManager::startUp(): Font: '%s' (%s)",
                 std::filesystem::absolute(fontFound, error).string().c_str(), ownFont ? "the game's" : "the engine's");
    glyphCache.fill(std::nullopt);
    // Cells start at fractions of a pixel (12.8 per column): unfiltered glyphs stay crisp there.
    font->setSmooth(false);

    loadIcon();
    configureWindow();
    layOut();
    clearWindow();
    window->display();
    clearWindow();
    return 0;
}

sf::Vector2u DisplayManager::startSize() const {
    sf::Vector2u area = sf::VideoMode::getDesktopMode().size;
    if (const auto work = platform::workArea()) {
        // Without panels; of several monitors, the window opens on one.
        area = {std::min(work->width, area.x), std::min(work->height, area.y)};
    }
    // A tenth for the title bar and borders, where the window manager places the window,
    // and for panels where the platform does not tell the work area.
    const sf::Vector2u usable(area.x * 9 / 10, area.y * 9 / 10);
    if (usable.x >= static_cast<unsigned>(windowWidth) && usable.y >= static_cast<unsigned>(windowHeight)) {
        return {static_cast<unsigned>(windowWidth), static_cast<unsigned>(windowHeight)};
    }
    const int high = cellPixelsFor(usable) * verticalCells;
    return {static_cast<unsigned>(high * windowWidth / windowHeight), static_cast<unsigned>(high)};
}

int DisplayManager::cellPixelsFor(sf::Vector2u size) const {
    // Whole pixels per cell row: every row then rasterises alike, and the picture is
    // exactly 4:3 (a cell is 2/5 as wide as it is high).
    const int byHeight = static_cast<int>(size.y) / verticalCells;
    const int byWidth = static_cast<int>(size.x) * windowHeight / (windowWidth * verticalCells);
    return std::max(MIN_CELL_HEIGHT, std::min(byHeight, byWidth));
}

void DisplayManager::loadIcon() {
    icon.reset();
    if (iconFile.empty()) {
        return;
    }
    const std::filesystem::path path = ResourceManager::getInstance().resolve(iconFile);
    std::optional<std::string> why = whyNoIcon(path, MAX_ICON_SIZE);
    if (!why && !icon.emplace().loadFromFile(path)) {
        why = "it cannot be decoded";
    }
    if (why) {
        icon.reset();
        LogManager::getInstance().writeLog("WARNING: DisplayManager::startUpImpl(): Cannot use '%s' as the window's icon: %s",
                                           path.string().c_str(), why->c_str());
    }
}

void DisplayManager::configureWindow() {
    if (icon) {
        window->setIcon(*icon); // each new window, fullscreen or not, needs it anew
    }
    window->setVerticalSyncEnabled(true);
    window->setMouseCursorVisible(false);
    window->setKeyRepeatEnabled(false);
    const int high = MIN_CELL_HEIGHT * verticalCells;
    window->setMinimumSize(sf::Vector2u(static_cast<unsigned>(high * windowWidth / windowHeight), static_cast<unsigned>(high)));
}

void DisplayManager::layOut() {
    const sf::Vector2u size = window->getSize();
    const int cellPixels = cellPixelsFor(size);
    const int high = cellPixels * verticalCells;
    const int wide = high * windowWidth / windowHeight;
    laidOutFor = size;
    picture = sf::IntRect({(static_cast<int>(size.x) - wide) / 2, (static_cast<int>(size.y) - high) / 2}, {wide, high});
    shownCell = {static_cast<float>(wide) / static_cast<float>(horizontalCells), static_cast<float>(cellPixels)};
    // Rounded down, so that glyphs made to fit the 12.8 x 32 cell at FONT_SIZE fit here too.
    const unsigned shownSize = FONT_SIZE * static_cast<unsigned>(cellPixels) / static_cast<unsigned>(windowHeight / verticalCells);
    if (shownSize != characterSize) {
        characterSize = shownSize;
        reloadFont();
        glyphCache.fill(std::nullopt);
    }
    const sf::Vector2f area(size);
    batch->setArea(area);
    shownBatch->setArea(area); // laid out for the old size: the new one shows none of it
    wholeWindow = sf::View(sf::FloatRect({0.0f, 0.0f}, area));
    pictureOnly = wholeWindow;
    // Cells reaching past the picture's edge are cut there, so margins stay bare.
    if (const auto visible = picture.findIntersection(sf::IntRect({0, 0}, sf::Vector2i(size)));
        visible && visible->size != sf::Vector2i(size)) {
        pictureOnly.setScissor(sf::FloatRect(sf::Vector2f(visible->position).componentWiseDiv(area),
                                             sf::Vector2f(visible->size).componentWiseDiv(area)));
    }
    window->setView(pictureOnly);
}

void DisplayManager::reloadFont() {
    if (!font) {
        return;
    }
    // A font keeps the glyphs of every size it has drawn: let those of old sizes go.
    try {
        font = std::make_unique<sf::Font>(*fontStream);
        font->setSmooth(false);
    } catch (const sf::Exception&) {
        // The stream gave a font before: keep that one.
    }
}

void DisplayManager::fitToWindow() {
    if (!window || window->getSize() == laidOutFor) {
        return;
    }
    layOut();
    // Some drivers give the window's buffers their new size only at the next swap: show a
    // frame of background, so that the next frame is drawn at the new size.
    clearWindow();
    window->display();
    clearWindow();
}

void DisplayManager::setFullscreen(bool on) {
    if (!window || on == fullscreen) {
        return;
    }
    if (on) {
        windowedSize = window->getSize();
        windowedPosition = window->getPosition();
    }
    const sf::String title(windowTitle, std::locale());
    const sf::VideoMode mode = on ? sf::VideoMode::getDesktopMode() : sf::VideoMode(windowedSize, 32);
    window->create(mode, title, sf::Style::Default, on ? sf::State::Fullscreen : sf::State::Windowed);
    if (!window->isOpen()) {
        LogManager::getInstance().writeLog("ERROR: DisplayManager::setFullscreen(): Failed to create SFML window");
        if (!on) {
            return;
        }
        window->create(sf::VideoMode(windowedSize, 32), title, sf::Style::Default, sf::State::Windowed);
        on = false;
    }
    fullscreen = on;
    if (!on) {
        window->setPosition(windowedPosition);
    }
    configureWindow();
    layOut();
    clearWindow();
}

Vector DisplayManager::windowPixelToCells(sf::Vector2i pixel) const {
    const int x = std::clamp(pixel.x - picture.position.x, 0, picture.size.x - 1);
    const int y = std::clamp(pixel.y - picture.position.y, 0, picture.size.y - 1);
    return Vector(static_cast<float>(x) / shownCell.x, static_cast<float>(y) / shownCell.y);
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
    shownBatch->clear();
    glyphCache.fill(std::nullopt);
    // Until the next window, the grid is the 1024 x 768 picture.
    laidOutFor = sf::Vector2u(static_cast<unsigned>(windowWidth), static_cast<unsigned>(windowHeight));
    picture = sf::IntRect({0, 0}, {windowWidth, windowHeight});
    shownCell = {cellWidth, cellHeight};
    characterSize = FONT_SIZE;
    fullscreen = false;
    icon.reset();
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
            cached = font->getGlyph(codePoint, characterSize, false);
        }
    }
    return &*cached;
}

void DisplayManager::drawCell(Vector position, char ch, const sf::Color& color) {
    const Box view = WorldManager::getInstance().getView();
    drawingGrid.put(Vector(position.x - view.left, position.y - view.top), ch, color);
    if (headless) {
        return;
    }
    const sf::Vector2f pixel = sf::Vector2f(picture.position) +
                               sf::Vector2f(shownCell.x * (position.x - view.left), shownCell.y * (position.y - view.top));
    // The baseline lies one character size below the cell's top, as sf::Text puts it.
    batch->addCell(sf::FloatRect(pixel, shownCell), backgroundColor, glyphFor(ch),
                   pixel + sf::Vector2f(0.0f, static_cast<float>(characterSize)), color);
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
    std::swap(drawingGrid, shownGrid);
    drawingGrid.clear(backgroundColor);
    if (headless) {
        return;
    }
    batch->draw(*window, font->getTexture(characterSize));
    // Kept until the next frame is shown, so that a screenshot can draw it again.
    std::swap(batch, shownBatch);
    batch->clear();
    shownBackground = backgroundColor;
    window->display();
    clearWindow();
}

std::optional<sf::Image> DisplayManager::redrawShownFrame() {
    sf::RenderTexture target;
    if (!target.resize(window->getSize())) {
        return std::nullopt;
    }
    // As the window was: cleared whole, then the cells clipped to the picture.
    target.setView(wholeWindow);
    target.clear(shownBackground);
    target.setView(pictureOnly);
    shownBatch->draw(target, font->getTexture(characterSize));
    target.display();
    return target.getTexture().copyToImage();
}

int DisplayManager::saveScreenshot(const std::filesystem::path& file) {
    LogManager& log = LogManager::getInstance();
    if (!isStarted()) {
        log.writeLog("ERROR: DisplayManager::saveScreenshot(): Cannot save '%s' before display manager has been started",
                     file.string().c_str());
        return -1;
    }
    std::string content;
    if (headless) {
        content = shownGrid.getText(true);
    } else {
        std::string format = file.extension().string();
        std::transform(format.begin(), format.end(), format.begin(),
                       [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
        const std::optional<sf::Image> image = redrawShownFrame();
        const auto encoded = image && !format.empty() ? image->saveToMemory(format.substr(1)) : std::nullopt;
        if (!encoded) {
            log.writeLog("ERROR: DisplayManager::saveScreenshot(): Cannot save '%s': %s", file.string().c_str(),
                         image ? "its extension names no image format (.png, .bmp, .tga, .jpg)" : "no picture to draw into");
            return -1;
        }
        content.assign(encoded->begin(), encoded->end());
    }
    if (const auto problem = writeFileReplacing(file, content)) {
        log.writeLog("ERROR: DisplayManager::saveScreenshot(): Cannot save '%s': %s", file.string().c_str(),
                     problem->c_str());
        return -1;
    }
    return 0;
}

std::optional<std::filesystem::path> DisplayManager::takeScreenshot() {
    const std::optional<std::filesystem::path> folder = ResourceManager::getInstance().getSaveFolder();
    if (!folder) {
        return std::nullopt; // the resource manager has said why
    }
    const std::tm now = platform::localTime();
    char stamp[32];
    (void)std::strftime(stamp, sizeof stamp, "screenshot-%Y%m%d-%H%M%S", &now);
    const char* extension = headless ? ".txt" : ".png";
    std::error_code error;
    for (int n = 1; n <= 1000; ++n) {
        const std::filesystem::path file =
            *folder / (std::string(stamp) + (n > 1 ? "-" + std::to_string(n) : std::string()) + extension);
        if (std::filesystem::exists(file, error)) {
            continue;
        }
        if (saveScreenshot(file) != 0) {
            return std::nullopt;
        }
        LogManager::getInstance().writeLog("INFO: DisplayManager::takeScreenshot(): Saved '%s'", file.string().c_str());
        return file;
    }
    LogManager::getInstance().writeLog("ERROR: DisplayManager::takeScreenshot(): No free name for a screenshot in '%s'",
                                       folder->string().c_str());
    return std::nullopt;
}

void DisplayManager::flushBatch() {
    batch->draw(*window, font->getTexture(characterSize));
    batch->clear();
}

sf::Image DisplayManager::capture() {
    if (!window) {
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
    drawingGrid.clear(color);
    if (window) {
        // Clearing at once also wipes what was drawn so far in this frame.
        batch->clear();
        clearWindow();
    }
}

void DisplayManager::clearWindow() {
    // Drawing is clipped to the picture; the clear covers the margins too.
    window->setView(wholeWindow);
    window->clear(backgroundColor);
    window->setView(pictureOnly);
    setWindowHoldsOnlyBackground(true);
}

void DisplayManager::setWindowHoldsOnlyBackground(bool only) {
    windowHoldsOnlyBackground = only;
    // A translucent background blends with what is under it: then every one counts.
    batch->setTargetHoldsOnlyBackground(only && backgroundColor.a == 255);
}

} // namespace mx
