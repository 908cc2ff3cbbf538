#pragma once

#include <string>
#include <string_view>

#include <mx/Object.h>

namespace mx {

/// The nine places of the screen a view object can stand at, row by row.
enum ViewObjectLocation : int {
    TOP_LEFT = 0,
    TOP_CENTER = 1,
    TOP_RIGHT = 2,
    CENTER_LEFT = 3,
    CENTER_CENTER = 4,
    CENTER_RIGHT = 5,
    BOTTOM_LEFT = 6,
    BOTTOM_CENTER = 7,
    BOTTOM_RIGHT = 8,
};

/// An on-screen labelled value, such as a score. It stands at a fixed place of the
/// screen whatever the view does (its position is relative to the view's corner),
/// never collides, is drawn last, and changes through view events tagged with its label.
class ViewObject : public Object {
public:
    static constexpr const char* TYPE = "ViewObject"; ///< the type of view objects

    ViewObject();

    /// Takes a view event whose tag equals the label exactly; returns 1 then, else 0.
    int eventHandler(const Event* event) override;

    /// Draws "label value", framed by bars and dash lines when border is set.
    /// Returns 0, or -1 when the display has not started.
    int draw() override;

    /// Stores the place and puts the object there, from the current view's size W × H
    /// (80 × 24 unless the game changes the view). The text is centred on a column and
    /// stands on a whole row; with a border, the dash lines take the rows above and below.
    ///
    /// | place    | centre column (80 wide)   | row with border (dashes) | row without |
    /// |----------|---------------------------|--------------------------|-------------|
    /// | TOP_*    | LEFT W/6 = 13⅓            | 1 (0 and 2)              | 0           |
    /// | CENTER_* | CENTER W/2 = 40           | H/2 = 12 (11 and 13)     | 12          |
    /// | BOTTOM_* | RIGHT 5W/6 = 66⅔          | H − 2 = 22 (21 and 23)   | H − 1 = 23  |
    ///
    /// A text of n characters (bars included) starts at the centre column − n/2, fractions
    /// of a cell kept: "|Score 40|" at TOP_LEFT covers columns 8⅓ to 18⅓ of row 1. Only the
    /// border at the time of the call counts. A value outside the nine puts it at (0, 0).
    void setLocation(ViewObjectLocation location);
    /// Its place on the screen (TOP_CENTER at first).
    [[nodiscard]] ViewObjectLocation getLocation() const { return location; }

    /// Sets the label, which is also the tag of the view events it takes.
    void setViewString(std::string s) { viewString = std::move(s); }
    /// The label.
    [[nodiscard]] const std::string& getViewString() const { return viewString; }
    /// Sets the value.
    void setValue(int v) { value = v; }
    /// The value.
    [[nodiscard]] int getValue() const { return value; }
    /// Shows the value after the label, or not.
    void setDrawValue(bool draw_) { drawValue = draw_; }
    /// Whether the value is shown (true at first).
    [[nodiscard]] bool isDrawValue() const { return drawValue; }
    /// Changing the border does not move the object; setLocation places by the border it finds.
    void setBorder(bool b) { border = b; }
    /// Whether the text is framed by bars and dash lines (true at first).
    [[nodiscard]] bool isBorder() const { return border; }
    /// The text the object shows: the label, the value when shown, bars when bordered.
    [[nodiscard]] std::string getText() const;

    /// The first view object of the world (in the world's order) whose label is exactly
    /// label, or null: how a game reads back a value it changes through view events,
    /// ViewObject::find("Lives")->getValue().
    [[nodiscard]] static ViewObject* find(std::string_view label);

private:
    std::string viewString;
    int value = 0;
    bool drawValue = true;
    bool border = true;
    ViewObjectLocation location = TOP_CENTER;
};

} // namespace mx
