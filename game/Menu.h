#pragma once

#include <mx/Object.h>
#include <mx/Vector.h>

/// The one object that lives for the whole run and leads from screen to screen: the
/// title (with the last score after a game), a game, the game-over picture.
/// Releasing SPACE starts a game, releasing Q quits.
class Menu : public mx::Object {
public:
    static constexpr const char* TYPE = "Menu";
    /// Steps between a game over and the return to the title (about 5 seconds).
    static constexpr int GAME_OVER_STEPS = 150;

    Menu();

    /// Runs the game-over countdown on steps; starts a game or quits on released keys.
    int eventHandler(const mx::Event* event) override;

    /// Draws the title, and the last score after a game. Returns 0.
    int draw() override;

    /// Creates the objects of a new game (alongside any running one).
    void startGame();

    /// Ends the game: the game-over picture, and a "GameOver" event that stops the flock.
    void gameOver();

    /// Keeps the score and marks every object but the menu for deletion.
    void clearWorld();

    [[nodiscard]] int getLastScore() const { return lastScore; }
    [[nodiscard]] bool isTitleShown() const { return titleShown != 0; }
    [[nodiscard]] int getRestartCountdown() const { return restartCountdown; }
    [[nodiscard]] bool isGameRunning() const { return gameRunning != 0; }

private:
    void centreView() const;

    int lastScore = -1;
    int titleShown = 1;
    int restartCountdown = -1;
    int gameRunning = 0;
    mx::Vector screenCentre;
};
