// Full-grid draw + swap: the display's batch, the per-character way, and a bare clear + display.
// Run under a display (scripts/bench runs it on Xvfb) from any folder.
#include <filesystem>
#include <locale>
#include <string>

#include <SFML/Graphics.hpp>
#include <benchmark/benchmark.h>

#include <mx/DisplayManager.h>
#include <mx/WorldManager.h>

namespace {

mx::DisplayManager& display() {
    return mx::DisplayManager::getInstance();
}

const sf::Color ORANGE(255, 127, 0);

/// 80 x 24 cells through the engine: drawString per row, then swapBuffers.
void BatchedGrid(benchmark::State& state) {
    const std::string row(80, '&');
    for (auto _ : state) {
        for (int r = 0; r < 24; ++r) {
            display().drawString(mx::Vector(0, static_cast<float>(r)), row, mx::LEFT_JUSTIFIED, ORANGE);
        }
        display().swapBuffers();
    }
}

/// The same cells drawn one by one: a new rectangle and a new text per character.
void PerCharacterGrid(benchmark::State& state) {
    sf::RenderWindow& window = *display().getWindow();
    const sf::Font& font = *display().getFont();
    for (auto _ : state) {
        for (int r = 0; r < 24; ++r) {
            for (int c = 0; c < 80; ++c) {
                const sf::Vector2f pixel(12.8f * static_cast<float>(c), 32.0f * static_cast<float>(r));
                sf::RectangleShape cell({12.8f, 32.0f});
                cell.setFillColor(display().getBackgroundColor());
                cell.setPosition(pixel);
                window.draw(cell);
                sf::Text text(font, sf::String('&', std::locale()), 30);
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
    sf::RenderWindow& window = *display().getWindow();
    sf::RectangleShape all({1024.0f, 768.0f});
    all.setFillColor(display().getBackgroundColor());
    for (auto _ : state) {
        window.draw(all);
        window.display();
        window.clear(display().getBackgroundColor());
    }
}

BENCHMARK(BareClearAndDisplay)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BatchedGrid)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(PerCharacterGrid)->Unit(benchmark::kMillisecond)->MinTime(2.0);

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
