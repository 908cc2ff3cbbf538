// Full-grid draw + swap at 1024 x 768 and at twice that, 2048 x 1536: the display's batch,
// the per-character way, and a bare clear + display of the same window; and at 1024 x 768
// the draw phase alone beside the part of it the grid of cells takes.
// Run under a display large enough for the bigger window (scripts/bench runs it on Xvfb).
#include <filesystem>
#include <locale>
#include <string>

#include <SFML/Graphics.hpp>
#include <benchmark/benchmark.h>

#include <mx/DisplayManager.h>
#include <mx/WorldManager.h>
#include <mx/testing/TestHooks.h>

using mx::TestHooks;
namespace {

mx::DisplayManager& display() {
    return mx::DisplayManager::getInstance();
}

const sf::Color ORANGE(255, 127, 0);

/// Sizes the window to the benchmark's width (and 3/4 of it high) and lets the display lay the grid out there.
void sizeWindow(const benchmark::State& state) {
    const auto width = static_cast<unsigned>(state.range(0));
    sf::RenderWindow& window = *display().getWindow();
    window.setSize({width, width * 3 / 4});
    while (window.getSize() != sf::Vector2u(width, width * 3 / 4)) {
        while (window.pollEvent()) {
        }
    }
    TestHooks::fitToWindow();
}

/// 80 x 24 cells through the engine: drawString per row, then swapBuffers.
void BatchedGrid(benchmark::State& state) {
    sizeWindow(state);
    const std::string row(80, '&');
    for (auto _ : state) {
        for (int r = 0; r < 24; ++r) {
            display().drawString(mx::Vector(0, static_cast<float>(r)), row, mx::LEFT_JUSTIFIED, ORANGE);
        }
        display().swapBuffers();
    }
}

/// The draw phase alone of the same cells, the batch and the grid filled, the swap left
/// out of the timing: what a frame's objects cost the display as they draw.
void DrawPhaseOfTheGrid(benchmark::State& state) {
    sizeWindow(state);
    const std::string row(80, '&');
    for (auto _ : state) {
        for (int r = 0; r < 24; ++r) {
            display().drawString(mx::Vector(0, static_cast<float>(r)), row, mx::LEFT_JUSTIFIED, ORANGE);
        }
        state.PauseTiming();
        display().swapBuffers();
        state.ResumeTiming();
    }
}

/// The part of that draw phase the grid of cells takes: the same 1,920 cells put into a
/// grid, and its clear at the swap.
void GridFillOfTheDrawPhase(benchmark::State& state) {
    mx::CellGrid grid(80, 24);
    for (auto _ : state) {
        for (int r = 0; r < 24; ++r) {
            for (int c = 0; c < 80; ++c) {
                grid.put(mx::Vector(static_cast<float>(c), static_cast<float>(r)), '&', ORANGE);
            }
        }
        grid.clear(display().getBackgroundColor());
        benchmark::DoNotOptimize(grid);
    }
}

/// The same cells drawn one by one at the shown size: a new rectangle and a new text per character.
void PerCharacterGrid(benchmark::State& state) {
    sizeWindow(state);
    sf::RenderWindow& window = *display().getWindow();
    const sf::Font& font = *display().getFont();
    const sf::Vector2f cell(sf::Vector2f(display().getPicture().size).componentWiseDiv({80.0f, 24.0f}));
    for (auto _ : state) {
        for (int r = 0; r < 24; ++r) {
            for (int c = 0; c < 80; ++c) {
                const sf::Vector2f pixel(cell.x * static_cast<float>(c), cell.y * static_cast<float>(r));
                sf::RectangleShape rectangle(cell);
                rectangle.setFillColor(display().getBackgroundColor());
                rectangle.setPosition(pixel);
                window.draw(rectangle);
                sf::Text text(font, sf::String('&', std::locale()), display().getCharacterSize());
                text.setFillColor(ORANGE);
                text.setPosition(pixel);
                window.draw(text);
            }
        }
        window.display();
        window.clear(display().getBackgroundColor());
    }
}

/// The floor: clear, one full-window rectangle, display.
void BareClearAndDisplay(benchmark::State& state) {
    sizeWindow(state);
    sf::RenderWindow& window = *display().getWindow();
    sf::RectangleShape all(sf::Vector2f(window.getSize()));
    all.setFillColor(display().getBackgroundColor());
    for (auto _ : state) {
        window.draw(all);
        window.display();
        window.clear(display().getBackgroundColor());
    }
}

BENCHMARK(BareClearAndDisplay)->Arg(1024)->Arg(2048)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BatchedGrid)->Arg(1024)->Arg(2048)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(PerCharacterGrid)->Arg(1024)->Arg(2048)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(DrawPhaseOfTheGrid)->Arg(1024)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(GridFillOfTheDrawPhase)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    std::filesystem::current_path(MOLTRIX_SOURCE_DIR); // the font lives there
    mx::WorldManager::getInstance().setView(mx::Box(0, 80, 0, 24));
    if (display().startUp() != 0) {
        return 1;
    }
    display().setBackgroundColor(sf::Color(0, 25, 0));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    display().shutDown();
    return 0;
}
