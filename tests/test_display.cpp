// The character display: placement, justification, transparency, batching, font, failures.
#include <cstdlib>
#include <locale>
#include <random>
#include <vector>

#include "DisplayTestSupport.h"
#include "LogManager.h"

using namespace mx;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

const sf::Color MARK = sf::Color(0, 200, 0); // the window's colour where nothing was painted

/// Columns [first, last] on one pixel row whose colour is the display's background, or {-1, -1}.
std::pair<int, int> paintedColumns(const sf::Image& image, unsigned row, sf::Color background = BLACK) {
    int first = -1;
    int last = -1;
    for (unsigned x = 0; x < image.getSize().x; ++x) {
        if (image.getPixel({x, row}) == background) {
            if (first < 0) first = static_cast<int>(x);
            last = static_cast<int>(x);
        }
    }
    return {first, last};
}

int countPixels(const sf::Image& image, sf::IntRect area, sf::Color color) {
    int count = 0;
    for (int y = area.position.y; y < area.position.y + area.size.y; ++y) {
        for (int x = area.position.x; x < area.position.x + area.size.x; ++x) {
            if (image.getPixel({static_cast<unsigned>(x), static_cast<unsigned>(y)}) == color) ++count;
        }
    }
    return count;
}

class Display : public test::DisplayTest {
protected:
    /// Clears the window to a colour of the test's own, so painted backgrounds show.
    static void clearToMark() {
        display().getWindow()->clear(MARK);
        display().invalidateClear();
    }
};

TEST_F(Display, CellsLandOnTheirPixelsRelativeToTheView) {
    using P = std::pair<int, int>;
    clearToMark();
    EXPECT_EQ(display().drawCh(Vector(0, 0), ' ', WHITE), 0);
    sf::Image image = display().capture();
    EXPECT_EQ(paintedColumns(image, 5), P(0, 12)); // 12.8 pixels wide
    EXPECT_EQ(image.getPixel({5, 31}), BLACK);      // 32 pixels high
    EXPECT_EQ(image.getPixel({5, 32}), MARK);

    clearToMark();
    display().drawCh(Vector(1, 0), ' ', WHITE); // starts at pixel 12.8
    EXPECT_EQ(paintedColumns(display().capture(), 5), P(13, 25));

    // Positions are world cells: the view's corner is subtracted, fractions kept.
    WorldManager::getInstance().setView(Box(10.0f, 90.0f, 2.0f, 26.0f));
    clearToMark();
    display().drawCh(Vector(10.5f, 3.0f), ' ', WHITE); // pixel (6.4, 32)
    image = display().capture();
    EXPECT_EQ(paintedColumns(image, 40), P(6, 18)); // pixel centres 6.5 to 18.5
    EXPECT_EQ(image.getPixel({10, 31}), MARK);
    EXPECT_EQ(image.getPixel({10, 63}), BLACK);
    EXPECT_EQ(image.getPixel({10, 64}), MARK);
}

TEST_F(Display, JustificationsAndTransparentCharacters) {
    using P = std::pair<int, int>;
    const auto spanOf = [&](const std::string& text, Justification j, char transparent = 0) {
        clearToMark();
        EXPECT_EQ(display().drawString(Vector(10, 0), text, j, WHITE, transparent), 0);
        return paintedColumns(display().capture(), 16);
    };
    EXPECT_EQ(spanOf("   ", LEFT_JUSTIFIED), P(128, 165));   // cells 10, 11, 12
    EXPECT_EQ(spanOf("   ", CENTER_JUSTIFIED), P(109, 146)); // cells 8.5, 9.5, 10.5
    EXPECT_EQ(spanOf("  ", CENTER_JUSTIFIED), P(115, 140));  // cells 9 and 10
    EXPECT_EQ(spanOf("   ", RIGHT_JUSTIFIED), P(102, 140));  // cells 8, 9, 10
    EXPECT_EQ(spanOf("", LEFT_JUSTIFIED), P(-1, -1));
    EXPECT_EQ(spanOf("", CENTER_JUSTIFIED), P(-1, -1));
    EXPECT_EQ(spanOf("", RIGHT_JUSTIFIED), P(-1, -1));
    EXPECT_EQ(spanOf("   ", static_cast<Justification>(7)), P(-1, -1));

    // A transparent character leaves its cell untouched, background included.
    EXPECT_EQ(spanOf("a a", LEFT_JUSTIFIED, 'a'), P(141, 153)); // only cell 11
    EXPECT_EQ(spanOf("a a", RIGHT_JUSTIFIED, 'a'), P(115, 127)); // only cell 9
    clearToMark();
    display().drawString(Vector(0, 0), "x y", LEFT_JUSTIFIED, WHITE, ' ');
    const sf::Image image = display().capture();
    EXPECT_EQ(countPixels(image, {{13, 0}, {12, 32}}, MARK), 12 * 32);
    EXPECT_GT(countPixels(image, {{0, 0}, {12, 32}}, BLACK), 0);

    // LEFT stops at a 0 character; RIGHT draws the whole length.
    const std::string withZero("  \0 ", 4);
    EXPECT_EQ(spanOf(withZero, LEFT_JUSTIFIED), P(128, 153));
    EXPECT_EQ(spanOf(withZero, RIGHT_JUSTIFIED), P(90, 140));
}

TEST_F(Display, ALaterCharacterCoversAnEarlierOneInTheSameCell) {
    const sf::Color red(255, 0, 0);
    const sf::IntRect cell({64, 160}, {12, 32}); // cell (5, 5)
    display().drawCh(Vector(5, 5), '#', red);
    display().drawCh(Vector(5, 5), ' ', red);
    EXPECT_EQ(countPixels(display().capture(), cell, red), 0);

    display().drawCh(Vector(5, 5), ' ', red);
    display().drawCh(Vector(5, 5), '#', red);
    EXPECT_GT(countPixels(display().capture(), cell, red), 20);
}

TEST_F(Display, SetBackgroundColorClearsAtOnceAndPaintsLaterCells) {
    const sf::Color green(0, 25, 0);
    display().drawCh(Vector(3, 3), '#', WHITE);
    display().setBackgroundColor(green); // wipes what was drawn so far
    sf::Image image = display().capture();
    EXPECT_EQ(countPixels(image, {{0, 0}, {1024, 768}}, green), 1024 * 768);

    clearToMark();
    display().drawCh(Vector(0, 0), ' ', WHITE);
    image = display().capture();
    EXPECT_EQ(image.getPixel({6, 16}), green);
    display().swapBuffers(); // shows the frame, clears to the new colour
    EXPECT_EQ(test::readBack(*display().getWindow()).getPixel({500, 500}), green);
}

/// One character of a scene, drawn both ways.
struct Cell {
    Vector position;
    char ch;
    sf::Color color;
};

/// The scene drawn through the batch and drawn one rectangle plus one text per
/// character, both from the same starting picture; returns the two pictures.
std::pair<sf::Image, sf::Image> drawBothWays(const std::vector<Cell>& scene, bool startFromMark) {
    DisplayManager& display = DisplayManager::getInstance();
    sf::RenderWindow& window = *display.getWindow();
    const sf::Color background = display.getBackgroundColor();
    const auto start = [&] {
        if (startFromMark) {
            window.clear(MARK);
            display.invalidateClear();
        } else {
            display.setBackgroundColor(background); // the display's own clear
        }
    };

    start();
    for (const Cell& c : scene) display.drawCh(c.position, c.ch, c.color);
    const sf::Image batched = display.capture();

    start();
    const sf::Font& font = *display.getFont();
    for (const Cell& c : scene) {
        const sf::Vector2f pixel(12.8f * c.position.x, 32.0f * c.position.y);
        sf::RectangleShape rectangle({12.8f, 32.0f});
        rectangle.setFillColor(background);
        rectangle.setPosition(pixel);
        window.draw(rectangle);
        sf::Text text(font, sf::String(c.ch, std::locale()), 30);
        text.setFillColor(c.color);
        text.setPosition(pixel);
        window.draw(text);
    }
    return {batched, test::readBack(window)};
}

TEST_F(Display, BatchPaintsExactlyWhatOneRectangleAndTextPerCharacterPaint) {
    // A scene with several colours, translucent ones, overlaps, blanks and fractional cells.
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> x(-1.0f, 80.5f), y(-1.0f, 24.5f);
    std::uniform_int_distribution<int> ch(32, 126), channel(0, 255);
    std::vector<Cell> scene;
    for (int i = 0; i < 600; ++i) {
        Vector p(x(random), y(random));
        if (i % 3 == 0) p = Vector(std::floor(p.x), std::floor(p.y));
        if (i % 7 == 0) p.x = std::floor(p.x) + 0.5f;
        const auto alpha = static_cast<std::uint8_t>(i % 5 == 0 ? 51 : 255);
        scene.push_back({p, static_cast<char>(ch(random)),
                         sf::Color(static_cast<std::uint8_t>(channel(random)), static_cast<std::uint8_t>(channel(random)),
                                   static_cast<std::uint8_t>(channel(random)), alpha)});
    }
    // Tiles of faint text, then text over them, as the game draws its background and birds.
    for (int i = 0; i < 40; ++i) scene.push_back({Vector(static_cast<float>(i) + 20.0f, 12.0f), '=', sf::Color(0, 255, 0, 51)});
    for (int i = 0; i < 10; ++i) scene.push_back({Vector(static_cast<float>(i) + 25.5f, 12.0f), 'W', sf::Color(255, 255, 0)});
    display().setBackgroundColor(sf::Color(0, 25, 0));

    for (const bool fromMark : {false, true}) {
        SCOPED_TRACE(fromMark ? "window cleared by the test" : "window cleared by the display");
        const auto [batched, reference] = drawBothWays(scene, fromMark);
        int different = 0;
        int maxDifference = 0;
        for (unsigned py = 0; py < 768; ++py) {
            for (unsigned px = 0; px < 1024; ++px) {
                const sf::Color a = batched.getPixel({px, py});
                const sf::Color b = reference.getPixel({px, py});
                const int d = std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
                maxDifference = std::max(maxDifference, d);
                if (d > 1) ++different;
            }
        }
        EXPECT_EQ(different, 0) << "largest channel difference " << maxDifference;
        EXPECT_LE(maxDifference, 1);
        if (fromMark) {
            EXPECT_GT(countPixels(batched, {{0, 0}, {1024, 768}}, MARK), 1000); // the scene left gaps
        } else {
            (void)batched.saveToFile(test::screenshotDir() / "batch-scene.png");
        }
    }
}

TEST_F(Display, AFullGridDrawnRowByRowIsOneSegmentAndPaintsOnlyNeededBackgrounds) {
    const std::string row(80, '&');
    for (int r = 0; r < 24; ++r) {
        display().drawString(Vector(0, static_cast<float>(r)), row, LEFT_JUSTIFIED, sf::Color(255, 127, 0));
    }
    EXPECT_EQ(display().getPendingSegmentCount(), 1u); // two draw calls for 1920 cells
    EXPECT_EQ(display().getPendingBackgroundCount(), 0u); // the clear already painted them
    display().drawCh(Vector(3, 3), ' ', WHITE);          // covers an earlier glyph
    EXPECT_EQ(display().getPendingSegmentCount(), 2u);
    EXPECT_EQ(display().getPendingBackgroundCount(), 1u);
    display().drawCh(Vector(5, 5), '#', WHITE);          // over a glyph of the first segment
    EXPECT_EQ(display().getPendingSegmentCount(), 2u);
    EXPECT_EQ(display().getPendingBackgroundCount(), 2u);
    display().swapBuffers();
    EXPECT_EQ(display().getPendingSegmentCount(), 1u);

    // A translucent background blends, so every cell paints it.
    display().setBackgroundColor(sf::Color(0, 25, 0, 128));
    display().drawString(Vector(0, 0), row, LEFT_JUSTIFIED, WHITE);
    EXPECT_EQ(display().getPendingBackgroundCount(), 80u);
}

TEST_F(Display, EveryPrintableCharacterFitsItsCell) {
    const sf::Font& font = *display().getFont();
    for (char32_t c = 32; c < 127; ++c) {
        const sf::Glyph& g = font.getGlyph(c, DisplayManager::FONT_SIZE, false);
        SCOPED_TRACE(static_cast<char>(c));
        EXPECT_LE(g.advance, 12.8f);
        if (g.bounds.size.x == 0.0f) continue; // no ink
        // The glyph quad, one pixel of padding included, stays inside the 12.8 x 32 cell.
        EXPECT_GE(g.bounds.position.x - 1.0f, 0.0f);
        EXPECT_LE(g.bounds.position.x + g.bounds.size.x + 1.0f, 12.8f);
        EXPECT_GE(30.0f + g.bounds.position.y - 1.0f, 0.0f);
        EXPECT_LE(30.0f + g.bounds.position.y + g.bounds.size.y + 1.0f, 32.0f);
    }
}

TEST_F(Display, ScreenshotOfColouredStrings) {
    display().setBackgroundColor(sf::Color(0, 25, 0));
    const struct { const char* text; sf::Color color; } lines[] = {
        {"Moltrix: coloured characters on an 80 x 24 grid", WHITE},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz", YELLOW},
        {"0123456789 !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~", CYAN},
        {"& & & & magenta yellow orange cyan & & & &", MAGENTA},
        {"Time's Up!   Score was: 42", sf::Color(255, 127, 0)},
        {"|Birds 12|  0O 1lI| gjpqy", sf::Color(57, 250, 128)},
    };
    float row = 3;
    for (const auto& line : lines) {
        display().drawString(Vector(40, row), line.text, CENTER_JUSTIFIED, line.color);
        row += 2;
    }
    display().drawString(Vector(40, 16), "--------------------", CENTER_JUSTIFIED, RED);
    const sf::Image image = display().capture();
    ASSERT_TRUE(image.saveToFile(test::screenshotDir() / "display.png"));
    // Crisp: the glyph colours appear at full strength, not only blended with the background.
    EXPECT_GT(countPixels(image, {{0, 96}, {1024, 32}}, WHITE), 200);
    EXPECT_GT(countPixels(image, {{0, 160}, {1024, 32}}, YELLOW), 200);
}

TEST(DisplayFailures, RefusesToDrawBeforeStartUpAndReportsFontProblems) {
    DisplayManager& display = DisplayManager::getInstance();
    test::ScratchDir dir;
    CaptureStdout();
    EXPECT_EQ(display.drawString(Vector(0, 0), "abc", LEFT_JUSTIFIED, WHITE), -1);
    EXPECT_EQ(display.drawCh(Vector(0, 0), 'a', WHITE), -1);
    display.swapBuffers();
    std::string out = GetCapturedStdout();
    EXPECT_EQ(test::countLines(out, "ERROR: DisplayManager::drawCh(): Cannot draw before display manager has been started"), 2);
    EXPECT_EQ(test::countLines(out, "ERROR: DisplayManager::swapBuffers(): Cannot swap buffers before display manager has been started"), 1);

    CaptureStdout();
    EXPECT_EQ(display.startUp(), -1); // no font file in the working folder
    out = GetCapturedStdout();
    EXPECT_EQ(test::countLines(out, "ERROR: DisplayManager::startUpImpl(): Failed to find font file: mx-font.ttf"), 1);
    EXPECT_FALSE(display.isStarted());
    EXPECT_EQ(display.getWindow(), nullptr);

    std::ofstream("mx-font.ttf") << "this is not a font\n";
    CaptureStdout();
    EXPECT_EQ(display.startUp(), -1);
    out = GetCapturedStdout();
    EXPECT_EQ(test::countLines(out, "ERROR: DisplayManager::startUpImpl(): Failed to load font file: mx-font.ttf"), 1);
    EXPECT_EQ(display.getWindow(), nullptr);
    EXPECT_EQ(display.getFont(), nullptr);

    // The manager is as constructed: a good font starts it.
    std::filesystem::copy_file(test::sourceDir() / "mx-font.ttf", "mx-font.ttf",
                               std::filesystem::copy_options::overwrite_existing);
    EXPECT_EQ(display.startUp(), 0);
    EXPECT_EQ(display.getWindow()->getSize(), sf::Vector2u(1024, 768));
    display.shutDown();
    EXPECT_EQ(display.getWindow(), nullptr);
}

TEST(DisplayGeometry, GridAndCellSizes) {
    const DisplayManager& d = DisplayManager::getInstance();
    EXPECT_EQ(d.getHorizontal(), 80);
    EXPECT_EQ(d.getVertical(), 24);
    EXPECT_EQ(d.getHorizontalPixels(), 1024);
    EXPECT_EQ(d.getVerticalPixels(), 768);
    EXPECT_FLOAT_EQ(d.charWidth(), 12.8f);
    EXPECT_FLOAT_EQ(d.charHeight(), 32.0f);
}

} // namespace
