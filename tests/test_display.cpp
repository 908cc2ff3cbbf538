// The character display: placement, justification, transparency, the batch, the font.
#include <locale>
#include <random>

#include <mx/LogManager.h>
#include <mx/ResourceManager.h>
#include <mx/Sprite.h>
#include <mx/ViewObject.h>
#include <mx/testing/TestHooks.h>

#include "Menu.h"
#include "GameSetup.h"
#include "TestSupport.h"

using namespace mx;

namespace {

const sf::Color MARK(0, 200, 0); // the window's colour where nothing was painted

/// Columns [first, last] on a pixel row painted in the background colour, or {-1, -1}.
std::pair<int, int> painted(const sf::Image& image, unsigned row) {
    int first = -1, last = -1;
    for (unsigned x = 0; x < image.getSize().x; ++x) {
        if (image.getPixel({x, row}) == BLACK) {
            if (first < 0) first = static_cast<int>(x);
            last = static_cast<int>(x);
        }
    }
    return {first, last};
}

class Display : public test::DisplayTest {
protected:
    /// Clears the window to the test's own colour, so painted backgrounds show.
    static void clearToMark() {
        display().getWindow()->clear(MARK);
        TestHooks::invalidateClear();
    }
    static std::pair<int, int> spanOf(Vector at, const std::string& text, Justification j, char transparent = 0) {
        clearToMark();
        EXPECT_EQ(display().drawString(at, text, j, WHITE, transparent), 0);
        return painted(TestHooks::capture(), 16);
    }
};

TEST_F(Display, CellsLandOnTheirPixelsRelativeToTheView) {
    using P = std::pair<int, int>;
    world().setView(Box(0, 80, 0, 24));
    EXPECT_EQ(spanOf(Vector(0, 0), " ", LEFT_JUSTIFIED), P(0, 12)); // 12.8 pixels wide
    EXPECT_EQ(spanOf(Vector(1, 0), " ", LEFT_JUSTIFIED), P(13, 25)); // from pixel 12.8
    EXPECT_EQ(spanOf(Vector(10, 0), "   ", LEFT_JUSTIFIED), P(128, 165));
    EXPECT_EQ(spanOf(Vector(10, 0), "   ", CENTER_JUSTIFIED), P(109, 146)); // cells 8.5 to 10.5
    EXPECT_EQ(spanOf(Vector(10, 0), "  ", CENTER_JUSTIFIED), P(115, 140));  // cells 9 and 10
    EXPECT_EQ(spanOf(Vector(10, 0), "   ", RIGHT_JUSTIFIED), P(102, 140));  // cells 8 to 10
    EXPECT_EQ(spanOf(Vector(10, 0), "", CENTER_JUSTIFIED), P(-1, -1));
    EXPECT_EQ(spanOf(Vector(10, 0), "a a", LEFT_JUSTIFIED, 'a'), P(141, 153)); // transparent cells untouched
    const std::string withZero("  \0 ", 4); // LEFT stops at a 0 character; RIGHT draws it all
    EXPECT_EQ(spanOf(Vector(10, 0), withZero, LEFT_JUSTIFIED), P(128, 153));
    EXPECT_EQ(spanOf(Vector(10, 0), withZero, RIGHT_JUSTIFIED), P(90, 140));
    world().setView(Box(10, 90, 2, 26));
    EXPECT_EQ(spanOf(Vector(10.5f, 2), " ", LEFT_JUSTIFIED), P(6, 18)); // pixel 6.4
}

TEST_F(Display, AtEverySizeTheBatchPaintsWhatARectangleAndATextPerCharacterPaint) {
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> x(-41, 40.5f), y(-13, 12.5f);
    std::uniform_int_distribution<int> ch(32, 126), channel(0, 255);
    struct Cell { Vector at; char ch; sf::Color color; };
    std::vector<Cell> scene;
    const auto byte = [&] { return static_cast<std::uint8_t>(channel(random)); };
    for (int i = 0; i < 600; ++i) { // whole, half and arbitrary cells, some translucent, overlapping, past the edges
        Vector p(x(random), y(random));
        if (i % 3 == 0) p = Vector(std::floor(p.x), std::floor(p.y));
        if (i % 7 == 0) p.x = std::floor(p.x) + 0.5f;
        scene.push_back({p, static_cast<char>(ch(random)), sf::Color(byte(), byte(), byte(), i % 5 ? 255 : 51)});
    }
    const sf::Color background(0, 25, 0);
    const Box view = world().getView();
    // The window as a player or a window manager sizes it; the grid's place and character size there.
    struct Size { unsigned width, height; sf::IntRect picture; unsigned characterSize; };
    for (const Size& size : {Size{1024, 768, {{0, 0}, {1024, 768}}, 30}, Size{2048, 1536, {{0, 0}, {2048, 1536}}, 60},
                             Size{2560, 1440, {{320, 0}, {1920, 1440}}, 56}, Size{800, 600, {{0, 0}, {800, 600}}, 23},
                             Size{640, 500, {{0, 10}, {640, 480}}, 18}, Size{100, 100, {{-110, -70}, {320, 240}}, 9}}) {
        SCOPED_TRACE(std::to_string(size.width) + " x " + std::to_string(size.height));
        resizeWindow(size.width, size.height);
        ASSERT_EQ(display().getPicture(), size.picture);
        ASSERT_EQ(display().getCharacterSize(), size.characterSize);
        const sf::Vector2f offset(size.picture.position), cell(size.picture.size.x / 80.0f, size.picture.size.y / 24.0f);
        for (const bool fromMark : {false, true}) { // with and without backgrounds left out
            const auto start = [&] { fromMark ? (display().getWindow()->clear(MARK), TestHooks::invalidateClear())
                                              : display().setBackgroundColor(background); };
            start();
            for (const Cell& c : scene) display().drawCh(c.at, c.ch, c.color);
            const sf::Image batched = TestHooks::capture();
            start();
            for (const Cell& c : scene) { // straight into the window, at the cell's pixel and the shown character size
                const sf::Vector2f pixel = offset + sf::Vector2f(cell.x * (c.at.x - view.left), cell.y * (c.at.y - view.top));
                sf::RectangleShape rectangle(cell);
                rectangle.setFillColor(background);
                rectangle.setPosition(pixel);
                display().getWindow()->draw(rectangle);
                sf::Text text(*display().getFont(), sf::String(c.ch, std::locale()), size.characterSize);
                text.setFillColor(c.color);
                text.setPosition(pixel);
                display().getWindow()->draw(text);
            }
            sf::Texture texture(display().getWindow()->getSize());
            texture.update(*display().getWindow());
            const sf::Image reference = texture.copyToImage();
            int different = 0, marginsPainted = 0;
            const std::uint8_t *a = batched.getPixelsPtr(), *b = reference.getPixelsPtr();
            for (int py = 0; py < static_cast<int>(size.height); ++py) {
                for (int px = 0; px < static_cast<int>(size.width); ++px, a += 4, b += 4) {
                    different += std::max({std::abs(a[0] - b[0]), std::abs(a[1] - b[1]), std::abs(a[2] - b[2])}) > 1;
                    marginsPainted += !size.picture.contains({px, py}) && sf::Color(a[0], a[1], a[2]) != background;
                }
            }
            EXPECT_EQ(different, 0) << (fromMark ? "from a foreign clear" : "from the display's clear");
            EXPECT_EQ(marginsPainted, 0);
        }
        // Rows of every character batch into one segment at every size: their ink keeps to their cells.
        display().setBackgroundColor(background);
        for (int r = 0; r < 24; ++r) {
            std::string row;
            for (int i = 0; i < 80; ++i) row += static_cast<char>(33 + (r * 80 + i) % 94);
            display().drawString(Vector(-40, static_cast<float>(r - 12)), row, LEFT_JUSTIFIED, WHITE);
        }
        EXPECT_EQ(TestHooks::pendingSegmentCount(), 1u);
    }
}

TEST_F(Display, AScreenshotIsTheFrameTheWindowShowsMarginsAndAll) {
    resizeWindow(1100, 700); // margins at the sides
    const sf::Color background(20, 0, 40);
    display().setBackgroundColor(background);
    const auto draw = [] {
        display().drawString(Vector(-40, -12), "Screenshot", LEFT_JUSTIFIED, YELLOW);
        display().drawCh(Vector(0.5f, 0.25f), '@', sf::Color(57, 250, 128));
        display().drawString(Vector(39, 11), "right", RIGHT_JUSTIFIED, sf::Color(255, 255, 255, 51), 'i');
    };
    draw();
    display().swapBuffers();
    ASSERT_EQ(display().saveScreenshot("shot.png"), 0);
    draw(); // the same frame again, read from the window before it is shown
    const sf::Image shown = TestHooks::capture();
    const sf::Image saved("shot.png");
    ASSERT_EQ(saved.getSize(), sf::Vector2u(1100, 700));
    EXPECT_TRUE(std::equal(saved.getPixelsPtr(), saved.getPixelsPtr() + 1100 * 700 * 4, shown.getPixelsPtr()));
    EXPECT_FALSE(std::filesystem::exists("shot.png.part"));
    // Another format by its extension; one that names none is refused and leaves nothing.
    ASSERT_EQ(display().saveScreenshot("shot.BMP"), 0);
    EXPECT_EQ(sf::Image("shot.BMP").getPixel({550, 16}), shown.getPixel({550, 16}));
    testing::internal::CaptureStdout();
    EXPECT_EQ(display().saveScreenshot("shot.gif"), -1);
    EXPECT_EQ(test::countLines(testing::internal::GetCapturedStdout(),
                               "ERROR: DisplayManager::saveScreenshot(): Cannot save 'shot.gif': its extension names no image format"), 1);
    EXPECT_FALSE(std::filesystem::exists("shot.gif"));
    // A new size drops the frame laid out for the old one: the window shows the background.
    display().swapBuffers();
    resizeWindow(1024, 768);
    ASSERT_EQ(display().saveScreenshot("after.png"), 0);
    const sf::Image after("after.png");
    EXPECT_EQ(after.getSize(), sf::Vector2u(1024, 768));
    EXPECT_EQ(after.getPixel({0, 0}), background);
    EXPECT_EQ(after.getPixel({500, 400}), background);
}

TEST_F(Display, AWindowedFrameFillsTheGridCellForCellAsAHeadlessOne) {
    const auto frame = [] {
        display().setBackgroundColor(sf::Color(0, 25, 0));
        display().drawString(Vector(-40, -12), "a row of text", LEFT_JUSTIFIED, WHITE, 'x');
        for (int i = 0; i < 300; ++i) { // whole and fractional cells, on and off the grid
            display().drawCh(Vector(-41.3f + 0.29f * static_cast<float>(i), -12.7f + 0.09f * static_cast<float>(i)),
                             static_cast<char>(33 + i % 90), sf::Color(static_cast<std::uint8_t>(i), 40, 200));
        }
        display().swapBuffers();
        return display().getGrid();
    };
    const CellGrid windowed = frame();
    display().shutDown();
    display().setHeadless(true);
    ASSERT_EQ(display().startUp(), 0);
    const CellGrid headless = frame();
    display().shutDown();
    display().setHeadless(false);
    ASSERT_EQ(display().startUp(), 0);
    EXPECT_EQ(headless, windowed);
    EXPECT_NE(windowed, CellGrid(80, 24, sf::Color(0, 25, 0)));
}

TEST_F(Display, RowsOfCellsBatchIntoOneSegmentAndNeedlessBackgroundsAreLeftOut) {
    const std::string row(80, '&');
    for (int r = 0; r < 24; ++r) display().drawString(Vector(-40, static_cast<float>(r - 12)), row, LEFT_JUSTIFIED, WHITE);
    EXPECT_EQ(TestHooks::pendingSegmentCount(), 1u);
    EXPECT_EQ(TestHooks::pendingBackgroundCount(), 0u); // the clear painted them already
    display().drawCh(Vector(3, 3), ' ', WHITE);              // covers an earlier glyph
    EXPECT_EQ(TestHooks::pendingSegmentCount(), 2u);
    display().drawCh(Vector(5, 5), '#', WHITE); // over a glyph of the first segment: no new one
    EXPECT_EQ(TestHooks::pendingSegmentCount(), 2u);
    EXPECT_EQ(TestHooks::pendingBackgroundCount(), 2u);
    display().setBackgroundColor(sf::Color(0, 25, 0, 128)); // clears at once; a translucent background blends
    EXPECT_EQ(TestHooks::pendingBackgroundCount(), 0u);
    display().drawString(Vector(-40, 0), row, LEFT_JUSTIFIED, WHITE);
    EXPECT_EQ(TestHooks::pendingBackgroundCount(), 80u);
}

TEST_F(Display, EveryPrintableCharacterFitsItsCell) {
    const sf::Font& font = *display().getFont();
    std::string all;
    for (char32_t c = 32; c < 127; ++c) {
        all += static_cast<char>(c);
        const sf::Glyph& g = font.getGlyph(c, DisplayManager::FONT_SIZE, false);
        SCOPED_TRACE(static_cast<char>(c));
        EXPECT_LE(g.advance, 12.8f);
        if (g.bounds.size.x == 0) continue;
        // The quad, with its pixel of padding, stays inside the 12.8 x 32 cell.
        EXPECT_GE(g.bounds.position.x - 1, 0.0f);
        EXPECT_LE(g.bounds.position.x + g.bounds.size.x + 1, 12.8f);
        EXPECT_GE(30 + g.bounds.position.y - 1, 0.0f);
        EXPECT_LE(30 + g.bounds.position.y + g.bounds.size.y + 1, 32.0f);
    }
    display().setBackgroundColor(sf::Color(0, 25, 0));
    const sf::Color colors[] = {WHITE, YELLOW, CYAN, MAGENTA, sf::Color(255, 127, 0), sf::Color(57, 250, 128)};
    for (int i = 0; i < 6; ++i) {
        display().drawString(Vector(0, static_cast<float>(3 * i - 9)), all.substr(static_cast<std::size_t>(i) * 16, 48),
                             CENTER_JUSTIFIED, colors[i]);
    }
    ASSERT_TRUE(TestHooks::capture().saveToFile(test::screenshot("display.png")));
}

TEST_F(Display, ObjectsShowOneSpriteInColoursOfTheirOwnAndLeaveItsTransparentCellsUntouched) {
    world().setView(Box(0, 80, 0, 24));
    Sprite brick(1);
    brick.setWidth(3);
    brick.setHeight(1);
    brick.setTransparency('.');
    brick.addFrame(Frame(3, 1, "#.#"));
    auto* red = new Object;
    red->setSprite(&brick);
    red->setColor(RED);
    red->setPosition(Vector(1.5f, 0.5f)); // cells 0 to 2 of row 0
    (new Object)->setSprite(&brick);      // the sprite's white, in row 1
    world().getAllObjects()[1]->setPosition(Vector(1.5f, 1.5f));
    clearToMark();
    TestHooks::drawObjects();
    const sf::Image image = TestHooks::capture();
    const auto inCell = [&image](int column, int row, sf::Color color) {
        int n = 0;
        for (unsigned y = static_cast<unsigned>(32 * row); y < static_cast<unsigned>(32 * row + 32); ++y) {
            for (auto x = static_cast<unsigned>(12.8f * static_cast<float>(column) + 1); x < static_cast<unsigned>(12.8f * static_cast<float>(column + 1)); ++x) {
                n += image.getPixel({x, y}) == color;
            }
        }
        return n;
    };
    EXPECT_GT(inCell(0, 0, RED), 0);
    EXPECT_EQ(inCell(0, 0, WHITE), 0);
    EXPECT_EQ(inCell(1, 0, MARK), inCell(1, 3, MARK)); // see-through: as untouched as an empty row
    EXPECT_GT(inCell(2, 1, WHITE), 0);
    EXPECT_EQ(inCell(2, 1, RED), 0);
    EXPECT_EQ(brick.getColor(), WHITE);
}

TEST_F(Display, ScreenshotOfAnAnimatedSpriteAndTheNinePlaces) {
    display().setBackgroundColor(sf::Color(0, 25, 0));
    Sprite bird(3);
    bird.setWidth(7);
    bird.setHeight(3);
    bird.setColor(YELLOW);
    bird.setSlowdown(1);
    bird.setTransparency(' ');
    for (const char* f : {R"(\     / \_o_/        )", R"(       --(o)--       )", R"(        /'o'\ /     \)"}) bird.addFrame(Frame(7, 3, f));
    for (int i = 0; i < 3; ++i) { // one object, drawn in three frames of its animation
        auto* o = new Object;
        o->setSprite(&bird);
        o->setPosition(Vector(-12.0f + 12 * static_cast<float>(i), -5.5f));
        for (int k = 0; k < i; ++k) o->draw();
    }
    display().setBackgroundColor(sf::Color(0, 25, 0)); // only the last draws show
    for (int place = 0; place < 9; ++place) {
        auto* v = new ViewObject;
        v->setValue(place);
        v->setLocation(static_cast<ViewObjectLocation>(place));
    }
    TestHooks::drawObjects();
    ASSERT_TRUE(TestHooks::capture().saveToFile(test::screenshot("sprites-and-views.png")));
}

TEST(Screenshots, TheGameOverAndTheTitleAfterItFromARecordedRound) {
    test::ScratchDir dir{"mx-font.ttf", "sprites", "sounds"};
    Menu* menu = setUpGame();
    ASSERT_NE(menu, nullptr);
    GameManager& game = GameManager::getInstance();
    game.setRealTime(false); // the round's frames one after another
    ASSERT_EQ(InputManager::getInstance().startReplay(test::sourceDir() / "tests/data/full-round.txt"), 0);
    const auto runUntil = [&](auto shown) {
        while (!shown() && game.runFrames(1) == 1 && !game.getGameOver()) {
        }
        return shown();
    };
    // Each frame is shown by then: drawn again, it is captured.
    ASSERT_TRUE(runUntil([&] { return menu->getRestartCountdown() == Menu::GAME_OVER_STEPS; }));
    TestHooks::drawObjects();
    ASSERT_TRUE(TestHooks::capture().saveToFile(test::screenshot("gameover.png")));
    ASSERT_TRUE(runUntil([&] { return menu->isTitleShown(); }));
    TestHooks::drawObjects();
    ASSERT_TRUE(TestHooks::capture().saveToFile(test::screenshot("title-after-game.png")));
    game.shutDown();
    game.setRealTime(true);
    ResourceManager::getInstance().setDataFolder({}); // the game's, in a folder now gone
}

TEST(DisplayFailures, RefusesToDrawBeforeStartUpAndReportsFontProblems) {
    DisplayManager& display = DisplayManager::getInstance();
    test::ScratchDir dir;
    testing::internal::CaptureStdout();
    EXPECT_EQ(display.drawString(Vector(0, 0), "abc", LEFT_JUSTIFIED, WHITE), -1); // one line, not three
    display.swapBuffers();
    EXPECT_EQ(InputManager::getInstance().startUp(), 1); // input needs a started display
    display.setFontFile(DisplayManager::FONT_FILE); // as the game does: its own, not the engine's installed one
    EXPECT_EQ(display.startUp(), -1); // no font file
    std::ofstream("mx-font.ttf") << "this is not a font\n";
    EXPECT_EQ(display.startUp(), -1);
    // A folder or a FIFO in the font's place is named for what it is, and never opened: a FIFO would block.
    std::filesystem::remove("mx-font.ttf");
    std::filesystem::create_directory("mx-font.ttf");
    EXPECT_EQ(display.startUp(), -1);
    std::filesystem::remove("mx-font.ttf");
    ASSERT_EQ(mkfifo("mx-font.ttf", 0600), 0);
    EXPECT_EQ(display.startUp(), -1);
    std::filesystem::remove("mx-font.ttf");
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string font = "mx-font.ttf";
    EXPECT_EQ(test::countLines(out, "ERROR: DisplayManager::startUpImpl(): Failed to open font file: '" + font + "': it is a folder"), 1);
    EXPECT_EQ(test::countLines(out, "ERROR: DisplayManager::startUpImpl(): Failed to open font file: '" + font + "': it is a FIFO"), 1);
    EXPECT_EQ(test::countLines(out, "ERROR: DisplayManager::drawCh(): Cannot draw before display manager has been started"), 1);
    EXPECT_EQ(test::countLines(out, "ERROR: DisplayManager::swapBuffers(): Cannot swap buffers before display manager has been started"), 1);
    EXPECT_EQ(test::countLines(out, "ERROR: DisplayManager::startUpImpl(): Failed to find font file: mx-font.ttf"), 1);
    EXPECT_EQ(test::countLines(out, "ERROR: DisplayManager::startUpImpl(): Failed to load font file: mx-font.ttf"), 1);
    EXPECT_EQ(test::countLines(out, " Cannot start input manager until display manager has been started"), 1);
    EXPECT_EQ(display.getWindow(), nullptr);
    EXPECT_FALSE(display.isStarted());
    std::filesystem::copy_file(test::sourceDir() / "mx-font.ttf", "mx-font.ttf", std::filesystem::copy_options::overwrite_existing);
    LogManager::getInstance().setVerbosity(1); // the notice of the font chosen is a start-up notice
    testing::internal::CaptureStdout();
    ASSERT_EQ(display.startUp(), 0);
    display.shutDown();
    LogManager::getInstance().setVerbosity(0);
    EXPECT_EQ(test::countLines(testing::internal::GetCapturedStdout(), "INFO: DisplayManager::startUp(): Font: '" +
                                                                          (dir.getPath() / "mx-font.ttf").string() + "' (the game's)"), 1);
}

} // namespace
