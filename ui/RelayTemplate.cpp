#include "ui/RelayTemplate.h"

#include "serial/SerialDevice.h"

#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace {

// Host names are shown and stored in capitals, as the operator's other stations show them.
class UpperCaseValidator : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        input = input.toUpper();
        return Acceptable;
    }
};

class Placer
{
public:
    Placer(QDialog* window, DialogBaseUnits base)
        : Window(window)
        , Base(base)
    { }

    template<typename Widget> Widget* Add(Widget* widget, const char* name, QRect units)
    {
        widget->setObjectName(QLatin1String(name));
        widget->setGeometry(DialogToPixels(units, Base));
        return widget;
    }

    QPushButton* Button(const char* name, const char* caption, QRect units)
    {
        auto* button = Add(new QPushButton(QLatin1String(caption), Window), name, units);
        // Enter is the window's to handle: it clicks About or Exit only, never START.
        button->setAutoDefault(false);
        return button;
    }

    QPushButton* PushLike(const char* name, const char* caption, QRect units)
    {
        auto* button = Button(name, caption, units);
        button->setCheckable(true);
        return button;
    }

    QLabel* Label(const char* caption, QRect units, Qt::Alignment alignment)
    {
        auto* label = Add(new QLabel(QLatin1String(caption), Window), "", units);
        label->setAlignment(alignment | Qt::AlignTop);
        return label;
    }

    QLabel* Field(const char* name, const char* text, QRect units, Qt::Alignment alignment)
    {
        auto* field = Add(new QLabel(QLatin1String(text), Window), name, units);
        field->setAlignment(alignment);
        field->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        field->setAutoFillBackground(true);
        return field;
    }

    void Group(const char* caption, QRect units)
    {
        // Frames only: they stay behind the controls they surround, whatever the creation order.
        Add(new GroupFrame(QLatin1String(caption), Window), "", units)->lower();
    }

    void Line(QRect units)
    {
        auto* line = Add(new QFrame(Window), "", units);
        line->setFrameStyle(QFrame::VLine | QFrame::Sunken);
        line->lower();
    }

    QComboBox* DropList(const char* name, QRect units)
    {
        auto* list = Add(new QComboBox(Window), name, units);
        // The height in the layout includes the opened list; the closed box keeps its natural height.
        list->resize(list->width(), list->sizeHint().height());
        return list;
    }

    QLineEdit* Edit(const char* name, QRect units) { return Add(new QLineEdit(Window), name, units); }

    QLineEdit* NumberEdit(const char* name, QRect units)
    {
        auto* edit = Edit(name, units);
        edit->setAlignment(Qt::AlignRight);
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
        return edit;
    }

private:
    QDialog* Window;
    DialogBaseUnits Base;
};

} // namespace

RelayControls BuildRelayTemplate(QDialog* window, DialogBaseUnits base)
{
    Placer place(window, base);
    RelayControls c {};
    const auto right = Qt::AlignRight;
    const auto left = Qt::AlignLeft;

    c.Ok = place.Button("IDOK", "OK", {0, 184, 19, 14});
    c.Ok->hide();
    c.Exit = place.Button("IDCANCEL", "Exit", {254, 11, 32, 14});
    place.Group("Modality", {7, 7, 151, 30});
    c.ModeClient = place.PushLike("IDC_MODE_CLIENT", "NET => RS232", {16, 17, 66, 15});
    c.ModeServer = place.PushLike("IDC_MODE_SERVER", "RS232 => NET", {83, 17, 66, 15});
    for (auto* mode : {c.ModeClient, c.ModeServer}) {
        mode->setAutoExclusive(true);
        mode->setFocusPolicy(Qt::ClickFocus);
    }
    place.Label("Name :", {14, 64, 24, 8}, right);
    c.InComName = place.DropList("IDC_IN_COM_NAME", {40, 61, 48, 98});
    c.Clock = place.Field("IDC_CLOCK", "- -:- -:- -", {226, 64, 55, 17}, Qt::AlignCenter);
    c.Status = place.Field("IDC_STATUS", "status", {14, 170, 265, 15}, Qt::AlignCenter);
    c.About = place.Button("IDC_ABOUT", "About", {222, 11, 32, 14});
    c.Start = place.PushLike("IDC_START", "START", {167, 11, 45, 25});
    place.Group("Receiving", {221, 51, 66, 39});
    place.Group("INPUT Port", {7, 42, 211, 55});
    place.Label("Speed :", {12, 81, 26, 8}, right);
    c.InComSpeed = place.DropList("IDC_IN_COM_SPEED", {40, 78, 48, 97});
    place.Label("Name/IP :", {95, 64, 34, 8}, right);
    c.ServerName = place.Edit("IDC_SERVER_NAME", {132, 61, 79, 12});
    c.ServerName->setValidator(new UpperCaseValidator(c.ServerName));
    c.ServerPort = place.NumberEdit("IDC_SERVER_PORT", {171, 79, 40, 12});
    place.Label("Port :", {151, 81, 18, 8}, left);
    place.Group("OUTPUT Port", {7, 100, 280, 55});
    place.Label("Name :", {14, 123, 24, 8}, right);
    c.OutComName = place.DropList("IDC_OUT_COM_NAME", {40, 120, 48, 75});
    place.Label("Speed :", {12, 139, 26, 8}, right);
    c.OutComSpeed = place.DropList("IDC_OUT_COM_SPEED", {40, 137, 48, 75});
    place.Label("Name :", {97, 123, 24, 8}, right);
    c.ListenPort = place.NumberEdit("IDC_LISTEN_PORT", {163, 137, 40, 12});
    place.Label("Port :", {142, 139, 18, 8}, right);
    place.Group("Status Messages", {7, 160, 280, 30});
    c.LocalAddrs = place.Add(new QListWidget(window), "IDC_LOCAL_ADDRS", {208, 120, 72, 31});
    c.LocalAddrs->setSelectionMode(QAbstractItemView::NoSelection);
    c.LocalAddrs->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    place.Label("IP for Clients :", {219, 110, 44, 8}, left);
    place.Label("Serial Port :", {32, 110, 37, 8}, left);
    place.Label("Serial Port :", {32, 51, 37, 8}, left);
    place.Label("Local Name", {140, 110, 39, 8}, right);
    place.Label("Server Name/IP :", {137, 51, 56, 8}, right);
    place.Label("... or ...", {189, 110, 23, 8}, left);
    c.LocalName = place.Field("IDC_LOCAL_NAME", "", {124, 120, 79, 12}, Qt::AlignLeft | Qt::AlignVCenter);
    place.Line({92, 46, 1, 50});
    place.Line({92, 105, 1, 49});

    c.InComSpeed->addItems(SpeedListItems());
    c.OutComSpeed->addItems(SpeedListItems());
    return c;
}

QStringList SpeedListItems()
{
    return QStringList {QStringLiteral("<Speed>")} + SpeedNames();
}

GroupFrame::GroupFrame(const QString& title, QWidget* parent)
    : QWidget(parent)
    , TitleText(title)
{ }

void GroupFrame::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const QPalette& colours = palette();
    // Etched: a shadow line, and a light one just inside and below it.
    const QRect frame = rect().adjusted(0, metrics.height() / 2, -2, -2);
    painter.setPen(colours.color(QPalette::Dark));
    painter.drawRect(frame);
    painter.setPen(colours.color(QPalette::Light));
    painter.drawRect(frame.translated(1, 1));

    const int inset = metrics.averageCharWidth();
    const QRect title(inset, 0, metrics.horizontalAdvance(TitleText) + inset / 2, metrics.height());
    painter.fillRect(title, colours.color(QPalette::Window));
    painter.setPen(colours.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(title, Qt::AlignLeft | Qt::AlignVCenter, TitleText);
}

namespace {

int Scale(int value, int base, int divisor)
{
    // Rounds to nearest as MulDiv does, so that positions and sizes stay consistent with each other.
    return (value * base + (value >= 0 ? divisor / 2 : -divisor / 2)) / divisor;
}

} // namespace

DialogBaseUnits MeasureDialogFont(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int letters
        = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(letters / 26 + 1) / 2, metrics.height()};
}

QRect DialogToPixels(const QRect& units, DialogBaseUnits base)
{
    return {Scale(units.x(), base.cx, 4), Scale(units.y(), base.cy, 8), Scale(units.width(), base.cx, 4),
            Scale(units.height(), base.cy, 8)};
}

QSize DialogToPixels(const QSize& units, DialogBaseUnits base)
{
    return {Scale(units.width(), base.cx, 4), Scale(units.height(), base.cy, 8)};
}

QFont DialogFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
    return font;
}
