#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include <SFML/Graphics/Color.hpp>
#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/System/FileInputStream.hpp>

#include <mx/Color.h>
#include <mx/Manager.h>
#include <mx/Vector.h>


namespace mx {

class CharBatch;

/// How drawString places a text relative to its position.
enum Justification {
    LEFT_JUSTIFIED = 0,   ///< the first character at the position
    CENTER_JUSTIFIED = 1, ///< centred on the position
    RIGHT_JUSTIFIED = 2,  ///< the last character at the position
};

/// The character-cell display: one SFML window showing an 80 × 24 grid of coloured
/// characters. Positions are world cells relative to the world manager's view; each
/// character paints its cell's background and then its glyph.
///
/// Cells drawn during a frame are collected and drawn together by swapBuffers, which
/// gives the same picture as drawing each at once in a small fraction of the time.
class DisplayManager : public Manager {
public:
    static constexpr const char* TYPE = "DisplayManager";
    /// The window's title when the game sets none.
    static constexpr const char* WINDOW_TITLE = "Moltrix";
    /// The engine's own font, used when the game sets none.
    static constexpr const char* FONT_FILE = "mx-font.ttf";
    static constexpr unsigned FONT_SIZE = 30;

    static DisplayManager& getInstance();

    /// Paints one character into the cell whose top-left corner is a world position.
    /// Returns 0, or -1 before start-up. An object's box is centred on its position, so to
    /// show an object as one character use drawChCentred.
    int drawCh(Vector position, char ch, const sf::Color& color);

    /// Paints one character into the cell centred on a world position: the cell an
    /// object's default one-cell box covers, so the character touches what the object
    /// touches. drawCh(position - (0.5, 0.5)). Returns 0, or -1 before start-up.
    int drawChCentred(Vector centre, char ch, const sf::Color& color) {
        return drawCh(Vector(centre.x - 0.5f, centre.y - 0.5f), ch, color);
    }

    /// Paints a text with a justification; characters equal to transparent are
    /// skipped, leaving their cells untouched (0 skips nothing). Returns 0, or -1 before start-up.
    int drawString(Vector position, const std::string& text, Justification justification,
                   const sf::Color& color, char transparent = 0);

    /// Shows the frame drawn so far and clears to the background colour for the next.
    void swapBuffers();

    /// The window's title; changes an open window's title at once.
    void setWindowTitle(std::string title);
    [[nodiscard]] const std::string& getWindowTitle() const { return windowTitle; }

    /// The game's own font file, read at start-up; a relative name is looked for in the
    /// data folder (ResourceManager::setDataFolder). Without one, the engine's font
    /// FONT_FILE is looked for there, then where the engine's package installed it, then
    /// in the source tree the engine was built from.
    void setFontFile(std::filesystem::path file);
    /// The font file the game set, or FONT_FILE.
    [[nodiscard]] const std::filesystem::path& getFontFile() const { return fontFile; }

    [[nodiscard]] int getHorizontal() const { return horizontalCells; }
    [[nodiscard]] int getVertical() const { return verticalCells; }
    [[nodiscard]] int getHorizontalPixels() const { return windowWidth; }
    [[nodiscard]] int getVerticalPixels() const { return windowHeight; }
    [[nodiscard]] float charWidth() const { return cellWidth; }
    [[nodiscard]] float charHeight() const { return cellHeight; }

    /// The window, or null before start-up and after shut-down.
    [[nodiscard]] sf::RenderWindow* getWindow() const { return window.get(); }
    /// The font every character is drawn with, or null when not started.
    [[nodiscard]] const sf::Font* getFont() const { return font.get(); }

    [[nodiscard]] sf::Color getBackgroundColor() const { return backgroundColor; }
    /// Stores the colour and clears the window to it at once.
    void setBackgroundColor(sf::Color color);

    /// Draws what is pending into the window's hidden buffer and returns that picture,
    /// which the next swapBuffers shows. For screenshots and tests; empty when not started.
    [[nodiscard]] sf::Image capture();

    /// Tells the display that something other than its cells was drawn straight into
    /// the window since its last clear. Until the next clear every cell then paints its
    /// background, even where the window would already show the background colour.
    void invalidateClear() { setWindowHoldsOnlyBackground(false); }

    /// Segments the pending frame needs (two draw calls each at most): how well it batches.
    [[nodiscard]] std::size_t getPendingSegmentCount() const;
    /// Cell backgrounds the pending frame will paint.
    [[nodiscard]] std::size_t getPendingBackgroundCount() const;

private:
    friend class Immortal<DisplayManager>;
    DisplayManager();
    ~DisplayManager();

    int startUpImpl() override;
    void shutDownImpl() override;

    void releaseAll();
    /// Where start-up reads the font from.
    [[nodiscard]] std::filesystem::path fontPath() const;
    /// The glyph sf::Text would show for ch, or null for a character without ink.
    const sf::Glyph* glyphFor(char ch);
    void drawCell(Vector position, char ch, const sf::Color& color);
    void flushBatch();
    void clearWindow();
    void setWindowHoldsOnlyBackground(bool only);

    int windowWidth = 1024;
    int windowHeight = 768;
    int horizontalCells = 80;
    int verticalCells = 24;
    float cellWidth;
    float cellHeight;
    sf::Color backgroundColor = BLACK;
    std::string windowTitle = WINDOW_TITLE;
    std::filesystem::path fontFile = FONT_FILE;
    bool ownFont = false; ///< the game set a font file of its own
    std::unique_ptr<sf::RenderWindow> window;
    std::unique_ptr<sf::Font> font;
    std::unique_ptr<sf::FileInputStream> fontStream; // the font reads glyphs from it on demand
    std::unique_ptr<CharBatch> batch; ///< the cells of the frame being drawn
    bool windowHoldsOnlyBackground = false; ///< nothing drawn since the last clear
    std::array<std::optional<sf::Glyph>, 256> glyphCache;
};

} // namespace mx
