#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include <SFML/Graphics/Color.hpp>
#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/Rect.hpp>
#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Graphics/View.hpp>
#include <SFML/System/FileInputStream.hpp>

#include <mx/CellGrid.h>
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
/// The game draws in a picture of 1024 × 768 pixels, 12.8 × 32 per cell, whatever the
/// window's size. Under that, the display shows the grid at the largest size that fits
/// the window, keeping its aspect, centred, with margins in the background colour; the
/// characters are rasterised at the size they are shown, not scaled. The window can be
/// resized and maximised, and F11 or Alt+Enter switch it to fullscreen and back.
///
/// Cells drawn during a frame are collected and drawn together by swapBuffers, which
/// gives the same picture as drawing each at once in a small fraction of the time.
///
/// Every frame also fills a grid of cells (getGrid): the characters and colours the screen
/// shows, readable as text. Started headless (setHeadless), the display opens no window and
/// needs no display server or font: drawing fills the grid alone, and everything else of the
/// engine runs as usual.
class DisplayManager : public Manager {
public:
    static constexpr const char* TYPE = "DisplayManager"; ///< the type of the display manager
    /// The window's title when the game sets none.
    static constexpr const char* WINDOW_TITLE = "Moltrix";
    /// The engine's own font, used when the game sets none.
    static constexpr const char* FONT_FILE = "mx-font.ttf";
    /// The character size in the 1024 × 768 picture; the size glyphs are rasterised at
    /// follows the cell height shown (getCharacterSize).
    static constexpr unsigned FONT_SIZE = 30;
    /// The smallest cell height shown, in pixels: the window cannot be made smaller than
    /// the grid at that height (320 × 240), and characters stay legible (size 9).
    static constexpr int MIN_CELL_HEIGHT = 10;

    /// The one display manager.
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

    /// Saves the frame last shown by swapBuffers. With a window: the picture the window shows
    /// (its margins too, at the window's size), in the image format the file's extension
    /// names (.png, .bmp, .tga or .jpg); what was drawn straight into the window, not through
    /// the display, is not in it. Headless: the grid as text, with its colour layer
    /// (CellGrid::getText(true)). The file is replaced whole, or left as it was. Returns 0,
    /// or -1 with a log line.
    int saveScreenshot(const std::filesystem::path& file);
    /// Saves the frame last shown, as saveScreenshot does, into the game's save folder
    /// (ResourceManager::getSaveFolder) under a name of its own,
    /// "screenshot-YYYYMMDD-HHMMSS.png" (.txt headless; "-2", "-3"... after it for more in
    /// a second), and says where in the log. The file saved, or nothing (and a log line).
    std::optional<std::filesystem::path> takeScreenshot();

    /// The grid of the frame last shown by swapBuffers: each cell's character and colours,
    /// the same with or without a window. Blank before the first frame.
    [[nodiscard]] const CellGrid& getGrid() const { return shownGrid; }

    /// Starts without a window: drawing fills the grid only (getGrid), and no display
    /// server, window or font is needed. Set it before start-up; while started, a change is
    /// refused with a log line. A headless game loop runs its frames without sleeping unless
    /// asked to keep real time (GameManager::setRealTime).
    void setHeadless(bool on);
    /// Whether the display starts, or has started, without a window.
    [[nodiscard]] bool isHeadless() const { return headless; }

    /// The window's title; changes an open window's title at once.
    void setWindowTitle(std::string title);
    /// The window's title (WINDOW_TITLE unless the game sets one).
    [[nodiscard]] const std::string& getWindowTitle() const { return windowTitle; }

    /// The game's own font file, read at start-up; a relative name is looked for in the
    /// data folder (ResourceManager::setDataFolder). Without one, the engine's font
    /// FONT_FILE is looked for there, then where the engine's package installed it, then
    /// in the source tree the engine was built from.
    void setFontFile(std::filesystem::path file);
    /// The font file the game set, or FONT_FILE.
    [[nodiscard]] const std::filesystem::path& getFontFile() const { return fontFile; }

    /// The window's icon: a PNG image of at most MAX_ICON_SIZE pixels a side, read at
    /// start-up; a relative name is looked for in the data folder
    /// (ResourceManager::setDataFolder). Set it before start-up. Without one the window
    /// has the system's own; one that cannot be read is logged as a warning and left out.
    void setIconFile(std::filesystem::path file) { iconFile = std::move(file); }
    /// The icon file the game set; empty for none.
    [[nodiscard]] const std::filesystem::path& getIconFile() const { return iconFile; }
    /// The largest icon taken, in pixels a side.
    static constexpr unsigned MAX_ICON_SIZE = 1024;

    /// The grid's width in cells (80).
    [[nodiscard]] int getHorizontal() const { return horizontalCells; }
    /// The grid's height in cells (24).
    [[nodiscard]] int getVertical() const { return verticalCells; }
    /// The width of the picture the game draws in, 1024 pixels, whatever the window's
    /// size: the display scales the grid to the window under it (getPicture).
    [[nodiscard]] int getHorizontalPixels() const { return windowWidth; }
    /// The height of the picture the game draws in, 768 pixels, whatever the window's size.
    [[nodiscard]] int getVerticalPixels() const { return windowHeight; }
    /// A cell's width in the 1024 × 768 picture, 12.8 pixels, whatever the window's size.
    [[nodiscard]] float charWidth() const { return cellWidth; }
    /// A cell's height in the 1024 × 768 picture, 32 pixels, whatever the window's size.
    [[nodiscard]] float charHeight() const { return cellHeight; }

    /// Where the grid is shown in the window, in window pixels: the largest size that
    /// fits, with a whole number of pixels per cell row, centred. Around it are margins
    /// in the background colour. 1024 × 768 at (0, 0) in a window of that size.
    [[nodiscard]] sf::IntRect getPicture() const { return picture; }
    /// The character size glyphs are rasterised at: FONT_SIZE scaled with the cell
    /// height shown, rounded down so that glyphs stay inside their cells.
    [[nodiscard]] unsigned getCharacterSize() const { return characterSize; }
    /// A pixel of the window as a position in cells of the grid, fractions kept; a pixel
    /// over a margin or outside the window counts as the nearest pixel of the grid.
    [[nodiscard]] Vector windowPixelToCells(sf::Vector2i pixel) const;

    /// Fills the screen at the desktop's resolution, or goes back to the window's size
    /// and place before. The world, the view and the objects are untouched; what was drawn
    /// since the last swapBuffers is dropped, as on any new size. The input manager calls
    /// it for F11 and Alt+Enter. Nothing is kept between runs.
    void setFullscreen(bool on);
    /// Whether the window fills the screen (setFullscreen); false while not started.
    [[nodiscard]] bool isFullscreen() const { return fullscreen; }

    /// The window, or null before start-up and after shut-down. Fullscreen switches keep
    /// this object and open a new system window in it.
    [[nodiscard]] sf::RenderWindow* getWindow() const { return window.get(); }
    /// The font every character is drawn with, or null when not started. A new one when
    /// the character size shown changes: do not keep the pointer across frames.
    [[nodiscard]] const sf::Font* getFont() const { return font.get(); }

    /// The colour of every cell's background and of the cleared window (black at first).
    [[nodiscard]] sf::Color getBackgroundColor() const { return backgroundColor; }
    /// Stores the colour and clears the window to it at once.
    void setBackgroundColor(sf::Color color);

private:
    friend class Immortal<DisplayManager>;
    friend class InputManager; // lays the display out anew on a new window size
    friend struct TestHooks;
    DisplayManager();
    ~DisplayManager();

    /// Lays the grid out anew for the window's present size. The input manager calls it
    /// when the window reports a new size; what was drawn since the last swapBuffers is
    /// dropped then, as it was laid out for the old size.
    void fitToWindow();

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

    int startUpImpl() override;
    void shutDownImpl() override;

    void releaseAll();
    /// 1024 × 768 where the usable part of the desktop holds it, else the largest
    /// size of whole cell rows that does.
    [[nodiscard]] sf::Vector2u startSize() const;
    /// The cell height shown in a window of the given size.
    [[nodiscard]] int cellPixelsFor(sf::Vector2u window) const;
    /// Vertical sync, hidden cursor, no key repeat, the smallest size: for each new window.
    void configureWindow();
    /// Takes the layout for the window's size and applies it.
    void layOut();
    /// The font anew, so that glyphs of sizes no longer shown are let go.
    void reloadFont();
    /// Reads the icon file the game set, if any; logs why one cannot be used.
    void loadIcon();
    /// Where start-up reads the font from.
    [[nodiscard]] std::filesystem::path fontPath() const;
    /// The glyph sf::Text would show for ch, or null for a character without ink.
    const sf::Glyph* glyphFor(char ch);
    void drawCell(Vector position, char ch, const sf::Color& color);
    void flushBatch();
    /// The frame last shown, drawn again off screen.
    [[nodiscard]] std::optional<sf::Image> redrawShownFrame();
    void clearWindow();
    void setWindowHoldsOnlyBackground(bool only);

    int windowWidth = 1024;
    int windowHeight = 768;
    int horizontalCells = 80;
    int verticalCells = 24;
    float cellWidth;
    float cellHeight;
    sf::Vector2u laidOutFor;             ///< the window size the layout below is for
    sf::IntRect picture;                 ///< where the grid is shown, in window pixels
    sf::Vector2f shownCell;              ///< a cell's size there
    unsigned characterSize = FONT_SIZE;  ///< glyphs are rasterised at this size
    sf::View wholeWindow;                ///< clears reach the margins through it
    sf::View pictureOnly;                ///< drawing is clipped to the picture through it
    bool fullscreen = false;
    bool headless = false;
    CellGrid drawingGrid;                ///< the cells of the frame being drawn
    CellGrid shownGrid;                  ///< the cells of the frame last shown
    sf::Vector2u windowedSize;           ///< the window's size before fullscreen
    sf::Vector2i windowedPosition;       ///< and its place
    sf::Color backgroundColor = BLACK;
    std::string windowTitle = WINDOW_TITLE;
    std::filesystem::path fontFile = FONT_FILE;
    bool ownFont = false; ///< the game set a font file of its own
    std::filesystem::path iconFile;
    std::optional<sf::Image> icon; ///< the window's icon, given to each new window
    std::unique_ptr<sf::RenderWindow> window;
    std::unique_ptr<sf::Font> font;
    std::unique_ptr<sf::FileInputStream> fontStream; // the font reads glyphs from it on demand
    std::unique_ptr<CharBatch> batch; ///< the cells of the frame being drawn
    std::unique_ptr<CharBatch> shownBatch; ///< the cells of the frame last shown, for screenshots
    sf::Color shownBackground = BLACK;     ///< the colour that frame was cleared to
    bool windowHoldsOnlyBackground = false; ///< nothing drawn since the last clear
    std::array<std::optional<sf::Glyph>, 256> glyphCache;
};

} // namespace mx
