// SPDX-License-Identifier: MIT
// The floors of `skerrin --windowed`: a bare QApplication showing an empty widget of the panel's
// size (--bare), and the same widget with one line of text in both scripts (what any text costs:
// the font database, a CJK fallback font, glyphs).
#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <cstring>

int main(int argc, char** argv) {
    const bool withText = !(argc > 1 && std::strcmp(argv[1], "--bare") == 0);
    QApplication app(argc, argv);
    QWidget widget;
    widget.setFixedSize(430, 760);
    if (withText)
        new QLabel(QStringLiteral("Skerrin 中文"), &widget);
    widget.show();
    return QApplication::exec();
}
