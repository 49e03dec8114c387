#pragma once

// A label for texts that carry long paths. The text stays whole (it is what
// the control holds and what a responder reads); only the drawing adapts:
// a path without blanks would otherwise run past the window's edge or
// stretch the window across the screen.

#include <QLabel>
#include <QStringList>

class PathLabel : public QLabel {
public:
    enum class Mode {
        ElideLines,   // wrapped at blanks onto the label's rows; what still does not
                      // fit is shortened in the middle with "…"
        WrapAnywhere, // wrapped at blanks, and inside a word where one does not fit
    };
    PathLabel(Mode mode, const QString &text, QWidget *parent, int preferredWidth = 0);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // ElideLines: the rows drawn in `width` pixels, at most `rows` of them.
    QStringList fittedRows(const QFontMetrics &fm, int width, int rows) const;

    Mode m_mode;
    int m_preferredWidth; // WrapAnywhere: widest the text is laid out when free
};
