#include "Skin.h"

#include <QApplication>
#include <QFont>

namespace {
const char* const kStyleSheet = R"(
QWidget#TForm1 { background: #dfe8f6; }
QWidget#bsSkinPanel1 { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f7faff, stop:1 #dbe6f4);
                       border: 1px solid #99bbe8; border-radius: 3px; }
QWidget#bsSkinNotebook1 { background: #f4f8fd; border: 1px solid #99bbe8; border-radius: 3px; }
QLabel#NotebookPage { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #cfdff3);
                      border: 1px solid #99bbe8; border-radius: 3px; color: #15428b; font-weight: bold; }
QWidget#Panel7 { background: #dfe8f6; }
QLabel { color: #15428b; }
QComboBox, QSpinBox { background: white; border: 1px solid #a3bad9; border-radius: 2px; padding: 0 2px;
                      color: #222; selection-background-color: #cde3ff; selection-color: #000; }
QComboBox:disabled, QSpinBox:disabled { background: #eef2f7; color: #999; }
QComboBox::drop-down { border-left: 1px solid #c3d4ea; width: 14px; }
QComboBox QAbstractItemView { background: white; border: 1px solid #99bbe8; selection-background-color: #dfe8f6; }
QCheckBox { color: #15428b; }
QTreeWidget { background: white; border: 1px solid #c3d4ea; }
QTabBar::tab { height: 20px; padding: 0 6px; margin-right: 1px; color: #15428b;
               background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f5f9fe, stop:1 #d4e2f3);
               border: 1px solid #99bbe8; border-bottom: none; border-top-left-radius: 3px; border-top-right-radius: 3px; }
QTabBar::tab:selected { background: white; color: #0b2f6b; font-weight: bold; }
QTabBar::tab:hover:!selected { background: #eaf2fd; }
QPushButton.LabelButton { border: none; background: transparent; color: #15428b; padding: 0; }
QPushButton.LabelButton:hover { color: #0063dc; text-decoration: underline; }
QPushButton.LabelButton:disabled { color: #9aaabd; }
QScrollBar:vertical { background: #eef3fa; width: 19px; border-left: 1px solid #c3d4ea; }
QScrollBar::handle:vertical { background: #b9cde8; min-height: 20px; border-radius: 3px; margin: 2px; }
QScrollBar::handle:vertical:disabled { background: transparent; }
QMenu { background: #f7faff; border: 1px solid #99bbe8; }
QMenu::item:selected { background: #dfe8f6; color: #000; }
)";
}  // namespace

void ApplySkin(QApplication& app) {
    QFont font("Noto Sans CJK SC");
    font.setPixelSize(12);
    app.setFont(font);
    app.setStyleSheet(kStyleSheet);
}
