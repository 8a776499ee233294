#pragma once

// What the parts of the show editor's form are built with: the spacing of the
// layout and small makers of labels, boxes and grids, shared by ShowEditorForm.cpp
// (the form, top to bottom) and ShowEditorSections.cpp (its podcast, comment and
// older-players sections and the bottom bar).
#include "ui/Theme.h"

#include <QFont>
#include <QString>

class QGridLayout;
class QHBoxLayout;
class QLabel;
class QVBoxLayout;
class QWidget;

namespace EditorForm {

inline constexpr int formMargin = 20;
inline constexpr int sectionSpacing = 8;
inline constexpr int boxMargin = 12;
inline constexpr int gridColumnSpacing = 10;
inline constexpr int gridRowSpacing = 8;

using Theme::TextStyle;

QLabel* label(const QString& text, TextStyle style, Theme::Ink colour, const char* name = nullptr,
    QFont::Weight weight = QFont::Normal);
// A note under a control: caption font, secondary colour, wrapped to the width.
QLabel* note(const QString& text, const char* name = nullptr);
// Text fields with a rounded border; a disabled one sinks into its box.
QString fieldStyle();
QVBoxLayout* column(QWidget* owner, int spacing, int margin = 0);
QHBoxLayout* row(QWidget* owner, int spacing);
// A titled section: the title in capitals over a box; `content` fills the box.
QWidget* section(const char* name, const QString& title, QVBoxLayout*& content);
QGridLayout* fieldGrid();

} // namespace EditorForm
