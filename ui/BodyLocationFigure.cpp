#include "ui/BodyLocationFigure.h"

#include <algorithm>

#include <QLabel>
#include <QPainter>
#include <QRadioButton>

#include "ui/BarGauge.h"
#include "ui/BodySilhouette.h"
#include "ui/QtText.h"

namespace barvik {
namespace {

struct CellPlace {
  Qt::Alignment align;
  QPoint label;
  QPoint gauge;
};

// Positions inside the group box, in the fill order of kFigureCells.
constexpr Qt::Alignment kL = Qt::AlignLeft, kR = Qt::AlignRight, kC = Qt::AlignHCenter;
const CellPlace kPlaces[kFigureCellCount] = {
    {kR, {162, 19}, {169, 35}},   {kC, {84, 33}, {88, 48}},     {kC, {84, 64}, {88, 79}},
    {kC, {84, 99}, {88, 114}},    {kC, {84, 154}, {88, 169}},   {kL, {162, 79}, {162, 94}},
    {kR, {7, 79}, {14, 94}},      {kL, {162, 129}, {162, 144}}, {kR, {7, 129}, {14, 144}},
    {kL, {135, 199}, {135, 214}}, {kR, {35, 199}, {42, 214}},   {kL, {135, 249}, {135, 264}},
    {kR, {35, 249}, {42, 264}},   {kL, {162, 167}, {162, 182}}, {kR, {7, 167}, {14, 182}},
    {kL, {125, 279}, {125, 294}}, {kR, {45, 279}, {52, 294}},   {kL, {7, 319}, {7, 334}},
};

// Label and gauge numbers of each cell, per figure (FigureId order).
const int kLabelNumbers[4][kFigureCellCount] = {
    {37, 3, 18, 6, 8, 9, 28, 12, 27, 16, 30, 20, 32, 14, 25, 22, 34, 4},
    {38, 5, 21, 7, 10, 11, 31, 13, 29, 19, 33, 23, 35, 15, 26, 24, 36, 39},
    {56, 40, 47, 41, 42, 43, 52, 44, 51, 46, 53, 48, 54, 45, 50, 49, 55, 57},
    {82, 61, 73, 67, 68, 69, 78, 70, 77, 72, 79, 74, 80, 71, 76, 75, 81, 83},
};
const int kGaugeNumbers[4][kFigureCellCount] = {
    {13, 12, 10, 8, 6, 11, 9, 7, 5, 2, 1, 16, 14, 4, 3, 18, 15, 17},
    {72, 71, 69, 67, 63, 68, 70, 66, 65, 61, 60, 58, 59, 62, 64, 57, 56, 55},
    {54, 53, 51, 49, 45, 50, 52, 48, 47, 43, 42, 40, 41, 44, 46, 39, 38, 37},
    {36, 35, 33, 31, 27, 32, 34, 30, 29, 25, 24, 22, 23, 26, 28, 21, 20, 19},
};

struct FigureNames {
  const char* group;
  const char* caption;
  const char* title;
  std::vector<const char*> buttons;  // by choice
};

const FigureNames& NamesOf(FigureId id) {
  static const FigureNames kNames[4] = {
      {"GroupBoxOverall",
       "Body Location",
       "Label58",
       {"RadioButtonOverallKills", "RadioButtonOverallDamages", "RadioButtonOverallSuicides"}},
      {"GroupBox2",
       "Opponents Body Location",
       "Label59",
       {"RadioButtonWeaponAccuracyKills", "RadioButtonWeaponAccuracyCDamages",
        "RadioButtonWeaponAccuracySuicides"}},
      {"GroupBoxPOverallAcc",
       "Opponents Body Location",
       "Label60",
       {"RadioButtonGlobAccuracyKills", "RadioButtonGlobAccuracyCDamages",
        "RadioButtonGlobAccuracySuicides"}},
      {"GroupBox3",
       "Selected Player Body Location",
       "Label84",
       {"RadioButtonGlobEnemyAccuracyDeads", "RadioButtonGlobEnemyAccuracyDamages"}},
  };
  return kNames[static_cast<size_t>(id)];
}

QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

// The title as `label` can show it whole: the text itself when it fits, otherwise the same
// text with every name cut to at most one common length and ended with an ellipsis, the
// longest such text that fits. The fixed words are never cut.
QString FittedTitle(const QLabel& label, const std::string& text,
                    const std::vector<TextSpan>& names) {
  QStringList words;  // the fixed words before each name, then those after the last
  QStringList name_texts;
  size_t at = 0;
  for (const TextSpan& name : names) {
    if (name.offset < at || name.offset + name.length > text.size()) break;
    words.append(ToQString(std::string_view(text).substr(at, name.offset - at)));
    name_texts.append(ToQString(std::string_view(text).substr(name.offset, name.length)));
    at = name.offset + name.length;
  }
  words.append(ToQString(std::string_view(text).substr(at)));

  const QFontMetrics metrics(label.font());
  const QRect box = label.contentsRect();
  const int flags = static_cast<int>(label.alignment()) | Qt::TextWordWrap;
  auto fits = [&](const QString& candidate) {
    const QRect needed = metrics.boundingRect(box, flags, candidate);
    return needed.width() <= box.width() && needed.height() <= box.height();
  };
  auto compose = [&](qsizetype cap) {
    QString out = words[0];
    for (qsizetype i = 0; i < name_texts.size(); ++i) {
      QString name = name_texts[i];
      if (name.size() > cap) {
        name.truncate(cap);
        while (name.endsWith(' ')) name.chop(1);
        name += QChar(0x2026);  // …
      }
      out += name + words[i + 1];
    }
    return out;
  };

  qsizetype longest = 0;
  for (const QString& name : name_texts) longest = std::max(longest, name.size());
  QString whole = compose(longest);
  if (fits(whole)) return whole;
  qsizetype shown = 0, too_long = longest;  // compose(too_long) does not fit
  while (too_long - shown > 1) {
    const qsizetype mid = shown + (too_long - shown) / 2;
    if (fits(compose(mid))) {
      shown = mid;
    } else {
      too_long = mid;
    }
  }
  return compose(shown);
}

}  // namespace

BodyLocationFigure::BodyLocationFigure(FigureId id, QWidget* parent) : QGroupBox(parent), id_(id) {
  const FigureNames& names = NamesOf(id);
  const size_t figure = static_cast<size_t>(id);
  setObjectName(names.group);
  setTitle(names.caption);
  setFixedWidth(kWidth);
  // Never so low that the title or the lowest cell is cut.
  setMinimumHeight(kImageHeight);

  silhouette_ = new BodySilhouette(this);
  silhouette_->setGeometry(60, 20, 115, 286);

  QFont label_font;
  label_font.setFamilies({"Arial", "Liberation Sans"});
  label_font.setPixelSize(12);  // 9 pt at 96 dpi
  label_font.setBold(true);
  for (size_t i = 0; i < kFigureCellCount; ++i) {
    auto* label = new QLabel(this);
    label->setObjectName(QString("Label%1").arg(kLabelNumbers[figure][i]));
    label->setTextFormat(Qt::PlainText);
    label->setFont(label_font);
    label->setAlignment(kPlaces[i].align | Qt::AlignTop);
    label->setGeometry(QRect(kPlaces[i].label, QSize(66, 16)));
    label->setToolTip(ToQString(kFigureCells[i].tooltip));
    labels_[i] = label;

    auto* gauge = new BarGauge(this);
    gauge->setObjectName(QString("CGauge%1").arg(kGaugeNumbers[figure][i]));
    gauge->setGeometry(QRect(kPlaces[i].gauge, QSize(59, 11)));
    gauge->hide();
    gauges_[i] = gauge;
  }

  title_ = new QLabel(this);
  title_->setObjectName(names.title);
  title_->setTextFormat(Qt::PlainText);
  title_->setAlignment(Qt::AlignRight | Qt::AlignBottom);
  title_->setWordWrap(true);
  title_->setGeometry(75, 310, 151, 39);

  // The buttons stand from the top in the reverse order of the choices: the first choice
  // ("Kills" or "Deads") is the lowest one.
  const auto& choices = FigureChoices(id);
  const size_t n = choices.size();
  buttons_.resize(n);
  for (size_t c = 0; c < n; ++c) {
    auto* button = new QRadioButton(ToQString(choices[c].button), this);
    button->setObjectName(names.buttons[c]);
    const int place = static_cast<int>(n - 1 - c);
    button->setGeometry(5, 15 + 15 * place, c == 0 ? 63 : 76, 17);
    connect(button, &QRadioButton::clicked, this,
            [this, c] { emit ChoiceClicked(static_cast<int>(c)); });
    buttons_[c] = button;
  }
  buttons_[0]->setChecked(true);
  // Labels and gauges lie over the silhouette.
  silhouette_->lower();
}

void BodyLocationFigure::Render(const FigureState& state) {
  const QString title = FittedTitle(*title_, state.title, state.title_names);
  title_->setText(title);
  // A shortened title tells the whole one under the pointer.
  const QString whole = ToQString(state.title);
  title_->setToolTip(title == whole ? QString() : whole);
  for (size_t i = 0; i < kFigureCellCount; ++i) {
    const FigureCell& cell = state.cells[i];
    QLabel* label = labels_[i];
    label->setText(ToQString(cell.label));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, ToQColor(cell.colour));
    label->setPalette(palette);
    gauges_[i]->SetValue(cell.gauge);
    gauges_[i]->setVisible(cell.gauge_visible);
  }
  if (state.choice >= 0 && static_cast<size_t>(state.choice) < buttons_.size()) {
    QRadioButton* checked = buttons_[static_cast<size_t>(state.choice)];
    if (!checked->isChecked()) checked->setChecked(true);
  }
}

void BodyLocationFigure::ShowOtherChoices(bool visible) {
  for (size_t c = 1; c < buttons_.size(); ++c) buttons_[c]->setVisible(visible);
}

}  // namespace barvik

namespace barvik {

void BodyLocationFigure::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QFontMetrics metrics(font());
  const int top = metrics.height() / 2;
  const QRect frame(0, top, width() - 2, height() - top - 2);
  p.setPen(palette().color(QPalette::Mid));
  p.drawRect(frame);
  p.setPen(palette().color(QPalette::Light));
  p.drawRect(frame.translated(1, 1));
  const QString caption = title();
  const QRect text(8, 0, metrics.horizontalAdvance(caption) + 4, metrics.height());
  p.fillRect(text, palette().color(QPalette::Window));
  p.setPen(palette().color(QPalette::WindowText));
  p.drawText(text, Qt::AlignCenter, caption);
}

}  // namespace barvik
