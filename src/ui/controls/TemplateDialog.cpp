#include "ui/controls/TemplateDialog.h"

#include "ui/controls/GrowLayout.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <vector>

namespace sorvanel::ui {

namespace {

/// Integer a·b/c rounded to the nearest, halves away from zero.
int mulDiv(int a, int b, int c)
{
    long long product = static_cast<long long>(a) * b;
    long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

/// Refuses typed characters other than digits. Only typing is filtered: pasted or dropped
/// text reaches the edit and is checked by its owner like any other change.
class TypedDigitsOnly : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            // Shortcuts such as Ctrl+V pass.
            if (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
                return QObject::eventFilter(watched, event);
            const QString typed = key->text();
            for (QChar c : typed) {
                if (c.isPrint() && (c < QLatin1Char('0') || c > QLatin1Char('9')))
                    return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

BaseUnits baseUnitsOf(const QFont& font)
{
    QFontMetrics metrics(font);
    int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(letters / 26 + 1) / 2, metrics.height()};
}

QRect dialogUnitsToPixels(const QRect& units, BaseUnits base)
{
    return QRect(mulDiv(units.x(), base.x, 4), mulDiv(units.y(), base.y, 8),
        mulDiv(units.width(), base.x, 4), mulDiv(units.height(), base.y, 8));
}

TemplateDialog::TemplateDialog(QWidget* parent)
    : QDialog(parent)
{
}

void TemplateDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Styles draw the focus only once it was moved with the keyboard (showing the window
    // forgets that); here it is shown from the first moment, also to someone who starts
    // with the keys.
    setAttribute(Qt::WA_KeyboardFocusChange);
}

void TemplateDialog::buildFromTemplate(
    const DialogTemplate& dialog, std::span<const ControlTemplate> rows)
{
    QFont font(QString::fromLatin1(dialog.fontFamily));
    font.setPointSize(dialog.pointSize);
    setFont(font);
    m_baseUnits = baseUnitsOf(font);
    setWindowTitle(QString::fromUtf8(dialog.title));

    QSize client = mapDialogRect(QRect(0, 0, dialog.width, dialog.height)).size();
    if (dialog.resizable)
        resize(client);
    else
        setFixedSize(client);

    std::vector<std::pair<QWidget*, QRect>> frames;
    std::vector<std::pair<QWidget*, QRect>> others;
    for (const ControlTemplate& row : rows) {
        QWidget* widget = createControl(row);
        widget->setGeometry(mapDialogRect(QRect(row.x, row.y, row.width, row.height)));
        if (row.style & Disabled)
            widget->setEnabled(false);
        if (row.style & Hidden)
            widget->hide();
        if (row.style & NoTabStop && widget->focusPolicy() != Qt::NoFocus)
            widget->setFocusPolicy(Qt::ClickFocus);
        if (row.id != noId) {
            widget->setObjectName(QStringLiteral("ctl%1").arg(row.id));
            m_controls.insert(row.id, widget);
        }
        const QRect units(row.x, row.y, row.width, row.height);
        (row.kind == ControlKind::GroupBox ? frames : others).emplace_back(widget, units);
    }
    // A group box holds the controls that lie inside it, so that they belong to it for
    // assistive technology too; they keep their place on the screen and their tab order.
    // The frames go behind everything else, in template order, which is also the order
    // assistive technology reads them in.
    for (auto frame = frames.rbegin(); frame != frames.rend(); ++frame)
        frame->first->lower();
    for (const auto& [frame, frameUnits] : frames) {
        for (const auto& [widget, units] : others) {
            if (widget->parentWidget() != this || !frameUnits.contains(units))
                continue;
            const bool hidden = widget->isHidden();
            const QPoint place = widget->pos() - frame->pos();
            widget->setParent(frame);
            widget->move(place);
            widget->setHidden(hidden);
        }
    }
    QWidget* previous = nullptr;
    for (const auto& [widget, units] : others) {
        if (widget->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous)
            setTabOrder(previous, widget);
        previous = widget;
    }
}

QWidget* TemplateDialog::createCustomControl(const ControlTemplate&)
{
    return new QWidget(this);
}

QWidget* TemplateDialog::createControl(const ControlTemplate& row)
{
    QString text = QString::fromUtf8(row.text ? row.text : "");
    switch (row.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefaultPushButton:
    case ControlKind::IconButton: {
        auto* button = new QPushButton(text, this);
        if (row.kind == ControlKind::DefaultPushButton)
            button->setDefault(true);
        return button;
    }
    case ControlKind::CheckBox:
        return new QCheckBox(text, this);
    case ControlKind::RadioButton:
        return new QRadioButton(text, this);
    case ControlKind::Label:
    case ControlKind::CenteredLabel:
    case ControlKind::RightLabel: {
        auto* label = new QLabel(text, this);
        Qt::Alignment horizontal = row.kind == ControlKind::CenteredLabel ? Qt::AlignHCenter
            : row.kind == ControlKind::RightLabel                         ? Qt::AlignRight
                                                                          : Qt::AlignLeft;
        label->setAlignment(horizontal | (row.style & VCenter ? Qt::AlignVCenter : Qt::AlignTop));
        label->setTextFormat(Qt::PlainText);
        if (row.style & Sunken) {
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            label->setMargin(0);
        }
        return label;
    }
    case ControlKind::GroupBox: {
        auto* box = new QGroupBox(text, this);
        box->setFocusPolicy(Qt::NoFocus);
        return box;
    }
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(text, this);
        if (row.style & DigitsOnly)
            edit->installEventFilter(new TypedDigitsOnly(edit));
        return edit;
    }
    case ControlKind::Custom:
        return createCustomControl(row);
    }
    return new QWidget(this);
}

void TemplateDialog::growWithWindow(int mainId, std::initializer_list<int> buttonIds)
{
    Growing growing;
    growing.templateSize = size();
    growing.mainId = mainId;
    if (QWidget* main = control(mainId))
        growing.main = main->geometry();
    for (int id : buttonIds)
        if (QWidget* button = control(id))
            growing.buttons.emplace_back(id, button->geometry());
    m_growing = std::move(growing);
    setMinimumSize(m_growing->templateSize);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setSizeGripEnabled(true);
}

void TemplateDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (!m_growing)
        return;
    std::vector<QRect> buttons;
    for (const auto& [id, rect] : m_growing->buttons)
        buttons.push_back(rect);
    GrowLayout layout =
        layoutGrowingDialog(m_growing->templateSize, size(), m_growing->main, buttons);
    if (QWidget* main = control(m_growing->mainId))
        main->setGeometry(layout.main);
    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (QWidget* button = control(m_growing->buttons[i].first))
            button->setGeometry(layout.buttons[i]);
}

} // namespace sorvanel::ui
