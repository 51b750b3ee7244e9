#pragma once

#include <QDialog>
#include <QFont>
#include <QHash>
#include <QRect>

#include <initializer_list>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace sorvanel::ui {

/// What a control of a dialog template becomes.
enum class ControlKind {
    PushButton,
    DefaultPushButton,
    IconButton, ///< a push button that shows only an icon
    CheckBox,
    RadioButton,
    Label, ///< static text, left aligned
    CenteredLabel,
    RightLabel,
    GroupBox, ///< a frame with a caption; it holds the controls that lie inside it
    Edit,
    Custom, ///< made by `TemplateDialog::createCustomControl`
};

/// Style bits of a control row.
enum ControlStyle : unsigned {
    NoStyle = 0,
    Hidden = 1u << 0,
    Disabled = 1u << 1,
    Sunken = 1u << 2, ///< a sunken frame around a static text
    NoTabStop = 1u << 3, ///< reachable by mouse but not by Tab
    VCenter = 1u << 4, ///< static text centred vertically
    DigitsOnly = 1u << 5, ///< an edit that accepts only digits as typed characters (pasted
                          ///< text is not filtered)
};

/// One row of a dialog template: the control's ID, kind, text and position in dialog units.
/// Controls without an ID use `noId`.
struct ControlTemplate
{
    int id;
    ControlKind kind;
    const char* text;
    int x;
    int y;
    int width;
    int height;
    unsigned style = NoStyle;
};

inline constexpr int noId = -1;

/// The dialog itself: its title and client size in dialog units, and its font.
struct DialogTemplate
{
    const char* title;
    int width;
    int height;
    const char* fontFamily = "MS Sans Serif";
    int pointSize = 8;
    bool resizable = false;
};

/// The dialog font's base units, as the platform measures them for dialog templates: the
/// average width of the letters A-Z and a-z, rounded, and the character height.
struct BaseUnits
{
    int x;
    int y;
};

BaseUnits baseUnitsOf(const QFont& font);

/// Converts a rectangle in dialog units to pixels (x·baseX/4, y·baseY/8, rounded).
QRect dialogUnitsToPixels(const QRect& units, BaseUnits base);

/// A dialog whose controls are placed from a template table. Derived classes call
/// `buildFromTemplate` in their constructor; controls are created in table order, which is
/// also their tab order, and stay reachable by ID.
class TemplateDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TemplateDialog(QWidget* parent = nullptr);

    /// The control with this ID, or null.
    QWidget* control(int id) const { return m_controls.value(id, nullptr); }
    template <class Widget> Widget* controlAs(int id) const
    {
        return qobject_cast<Widget*>(control(id));
    }

    BaseUnits baseUnits() const { return m_baseUnits; }
    QRect mapDialogRect(const QRect& units) const
    {
        return dialogUnitsToPixels(units, m_baseUnits);
    }

protected:
    void buildFromTemplate(const DialogTemplate& dialog, std::span<const ControlTemplate> rows);

    /// Makes the widget of a `ControlKind::Custom` row; the default makes a plain widget.
    virtual QWidget* createCustomControl(const ControlTemplate& row);

    /// Makes a dialog built at its template size resizable, no smaller than that: control
    /// `mainId` grows with the window and the buttons `buttonIds` follow its bottom edge
    /// (`layoutGrowingDialog`). Call once, after `buildFromTemplate`.
    void growWithWindow(int mainId, std::initializer_list<int> buttonIds);

    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* createControl(const ControlTemplate& row);

    struct Growing
    {
        QSize templateSize;
        int mainId = noId;
        QRect main;
        std::vector<std::pair<int, QRect>> buttons;
    };
    std::optional<Growing> m_growing;

    QHash<int, QWidget*> m_controls;
    BaseUnits m_baseUnits{8, 16};
};

} // namespace sorvanel::ui
