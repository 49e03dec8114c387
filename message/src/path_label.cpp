#include "path_label.h"

#include <QPainter>
#include <QStyle>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {

QTextOption wrapOption(Qt::Alignment alignment)
{
    QTextOption option(alignment);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return option;
}

// Height of `text` laid out in `width` pixels.
int wrappedHeight(const QString &text, const QFont &font, Qt::Alignment alignment, int width)
{
    QTextLayout layout(text, font);
    layout.setTextOption(wrapOption(alignment));
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(width, 1));
        height += line.height();
    }
    layout.endLayout();
    return static_cast<int>(std::ceil(height));
}

} // namespace

QStringList PathLabel::fittedRows(const QFontMetrics &fm, int width, int rows) const
{
    QStringList out;
    const auto fits = [&](const QString &t) { return fm.horizontalAdvance(t) <= width; };
    for (const QString &line : text().split(QLatin1Char('\n'))) {
        QString rest = line;
        while (static_cast<int>(out.size()) < rows) {
            // The last row, or a word no row can hold: shortened in the middle.
            if (fits(rest) || static_cast<int>(out.size()) == rows - 1) {
                out << fm.elidedText(rest, Qt::ElideMiddle, width);
                break;
            }
            qsizetype cut = rest.lastIndexOf(QLatin1Char(' '));
            while (cut > 0 && !fits(rest.left(cut)))
                cut = rest.lastIndexOf(QLatin1Char(' '), cut - 1);
            if (cut <= 0) {
                out << fm.elidedText(rest, Qt::ElideMiddle, width);
                break;
            }
            out << rest.left(cut);
            rest = rest.mid(cut + 1);
        }
    }
    return out;
}

PathLabel::PathLabel(Mode mode, const QString &text, QWidget *parent, int preferredWidth)
    : QLabel(text, parent), m_mode(mode), m_preferredWidth(preferredWidth)
{
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

QSize PathLabel::sizeHint() const
{
    const QMargins m = contentsMargins();
    const QFontMetrics fm(font());
    int natural = 0;
    for (const QString &line : text().split(QLatin1Char('\n')))
        natural = std::max(natural, fm.horizontalAdvance(line));
    if (m_mode == Mode::ElideLines) {
        const int lines = static_cast<int>(text().count(QLatin1Char('\n'))) + 1;
        return {natural + m.left() + m.right(), fm.lineSpacing() * lines + m.top() + m.bottom()};
    }
    const int width = m_preferredWidth > 0 ? std::min(natural + 1, m_preferredWidth) : natural + 1;
    return {width + m.left() + m.right(), heightForWidth(width + m.left() + m.right())};
}

QSize PathLabel::minimumSizeHint() const
{
    if (m_mode == Mode::ElideLines)
        return {QFontMetrics(font()).horizontalAdvance(QStringLiteral("…")) * 4,
                sizeHint().height()};
    return {QFontMetrics(font()).averageCharWidth() * 10, QLabel::minimumSizeHint().height()};
}

bool PathLabel::hasHeightForWidth() const
{
    return m_mode == Mode::WrapAnywhere;
}

int PathLabel::heightForWidth(int width) const
{
    if (m_mode != Mode::WrapAnywhere)
        return QLabel::heightForWidth(width);
    const QMargins m = contentsMargins();
    return wrappedHeight(text(), font(), alignment(), width - m.left() - m.right()) + m.top() +
           m.bottom();
}

void PathLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
    const QRect area = contentsRect();
    if (m_mode == Mode::WrapAnywhere) {
        painter.drawText(QRectF(area), text(), wrapOption(alignment()));
        return;
    }
    const QFontMetrics fm(font());
    int y = area.top();
    for (const QString &row :
         fittedRows(fm, area.width(), std::max(1, area.height() / fm.lineSpacing()))) {
        painter.drawText(QRect(area.left(), y, area.width(), fm.lineSpacing()),
                         int(alignment()) | Qt::TextSingleLine, row);
        y += fm.lineSpacing();
    }
}
