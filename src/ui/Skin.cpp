#include "Skin.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {
const char* const kStyleSheet = R"(
QWidget#TForm1 { background: #1f5aa6; }
QWidget#FormClient { background: #dfe8f6; }
QWidget#bsSkinPanel1 { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f7faff, stop:1 #dbe6f4);
                       border: 1px solid #99bbe8; border-radius: 3px; }
QWidget#bsSkinNotebook1 { background: #f4f8fd; border: 1px solid #99bbe8; border-radius: 3px; }
QLabel#NotebookPage { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #cfdff3);
                      border: 1px solid #99bbe8; border-radius: 3px; color: #15428b; font-weight: bold; }
QWidget#Panel7 { background: #dfe8f6; }
QLabel { color: #15428b; }
QComboBox, QSpinBox { background: white; border: 1px solid #a3bad9; border-radius: 2px; padding: 0 2px;
                      color: #222; selection-background-color: #316ac5; selection-color: white; }
QComboBox:disabled, QSpinBox:disabled { background: #eef2f7; color: #999; }
QComboBox:focus, QSpinBox:focus { border: 1px solid #ff8a00; background: #fffaf2; }
QComboBox QLineEdit:focus, QSpinBox QLineEdit:focus { background: #fffaf2; }
QCheckBox:focus { background: #fff1dc; border-radius: 2px; }
QTreeWidget:focus { border: 1px solid #ff8a00; }
QComboBox { combobox-popup: 0; }
QComboBox::drop-down { subcontrol-origin: padding; subcontrol-position: top right; width: 14px;
                       border-left: 1px solid #c3d4ea;
                       background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f7faff, stop:1 #d4e2f3); }
QComboBox::drop-down:hover { background: #e6effb; }
QComboBox::down-arrow { image: url(:/skin/arrow-down.xpm); width: 7px; height: 4px; }
QComboBox::down-arrow:disabled { image: url(:/skin/arrow-down-off.xpm); }
QComboBox QAbstractItemView { background: white; border: 1px solid #99bbe8; color: #222; outline: none;
                              selection-background-color: #316ac5; selection-color: white; }
QComboBox#ComboBoxPage { padding: 0 1px; }
QComboBox#ComboBoxPage::drop-down { width: 11px; }
QComboBox#ComboBoxPage QAbstractItemView::item { height: 13px; padding: 0 2px; }
QComboBox#ComboBoxPage QAbstractItemView QScrollBar:vertical { width: 12px; margin: 0; border: none; }
QComboBox#ComboBoxPage QAbstractItemView QScrollBar::sub-line:vertical,
QComboBox#ComboBoxPage QAbstractItemView QScrollBar::add-line:vertical { height: 0; }
QSpinBox { padding: 0 9px 0 0; font-size: 11px; }
QSpinBox::up-button, QSpinBox::down-button { subcontrol-origin: border; width: 9px; border-left: 1px solid #c3d4ea;
                                             background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f7faff, stop:1 #d4e2f3); }
QSpinBox::up-button { subcontrol-position: top right; }
QSpinBox::down-button { subcontrol-position: bottom right; }
QSpinBox::up-button:hover, QSpinBox::down-button:hover { background: #e6effb; }
QSpinBox::up-arrow { image: url(:/skin/arrow-up.xpm); width: 7px; height: 4px; }
QSpinBox::down-arrow { image: url(:/skin/arrow-down.xpm); width: 7px; height: 4px; }
QSpinBox::up-arrow:disabled, QSpinBox::up-arrow:off { image: url(:/skin/arrow-up-off.xpm); }
QSpinBox::down-arrow:disabled, QSpinBox::down-arrow:off { image: url(:/skin/arrow-down-off.xpm); }
QCheckBox { color: #15428b; }
QTreeWidget { background: white; border: 1px solid #c3d4ea; }
QTabBar::tab { height: 20px; padding: 0 6px; margin-right: 1px; color: #15428b; min-width: 48px;
               background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f5f9fe, stop:1 #d4e2f3);
               border: 1px solid #99bbe8; border-bottom: none; border-top-left-radius: 3px; border-top-right-radius: 3px; }
QTabBar::tab:selected { background: white; color: #0b2f6b; font-weight: bold; }
QTabBar::tab:hover:!selected { background: #eaf2fd; }
QPushButton.LabelButton { border: none; background: transparent; color: #15428b; padding: 0; }
QPushButton.LabelButton:hover { color: #0063dc; text-decoration: underline; }
QPushButton.LabelButton:disabled { color: #9aaabd; }
QTabBar QToolButton { background: #eef3fa; border: 1px solid #99bbe8; width: 14px; }
QTabBar QToolButton::left-arrow { image: url(:/skin/arrow-left.xpm); }
QTabBar QToolButton::left-arrow:disabled { image: url(:/skin/arrow-left-off.xpm); }
QTabBar QToolButton::right-arrow { image: url(:/skin/arrow-right.xpm); }
QTabBar QToolButton::right-arrow:disabled { image: url(:/skin/arrow-right-off.xpm); }
QScrollBar:vertical { background: #eef3fa; width: 19px; border-left: 1px solid #c3d4ea; margin: 17px 0 17px 0; }
QScrollBar::handle:vertical { background: #b9cde8; min-height: 20px; border-radius: 3px; margin: 2px; }
QScrollBar::handle:vertical:hover { background: #9dbbe3; }
QScrollBar::handle:vertical:disabled { background: transparent; }
QScrollBar::sub-line:vertical, QScrollBar::add-line:vertical {
    height: 17px; subcontrol-origin: margin; border-left: 1px solid #c3d4ea;
    background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #f7faff, stop:1 #d4e2f3); }
QScrollBar::sub-line:vertical { subcontrol-position: top; }
QScrollBar::add-line:vertical { subcontrol-position: bottom; }
QScrollBar::up-arrow:vertical { image: url(:/skin/arrow-up.xpm); width: 7px; height: 4px; }
QScrollBar::down-arrow:vertical { image: url(:/skin/arrow-down.xpm); width: 7px; height: 4px; }
QScrollBar::up-arrow:vertical:disabled { image: url(:/skin/arrow-up-off.xpm); }
QScrollBar::down-arrow:vertical:disabled { image: url(:/skin/arrow-down-off.xpm); }
QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }
QScrollBar:horizontal { background: #eef3fa; height: 19px; border-top: 1px solid #c3d4ea; margin: 0 17px 0 17px; }
QScrollBar::handle:horizontal { background: #b9cde8; min-width: 20px; border-radius: 3px; margin: 2px; }
QScrollBar::sub-line:horizontal, QScrollBar::add-line:horizontal {
    width: 17px; subcontrol-origin: margin; background: #e3ecf8; }
QScrollBar::sub-line:horizontal { subcontrol-position: left; }
QScrollBar::add-line:horizontal { subcontrol-position: right; }
QScrollBar::left-arrow:horizontal { image: url(:/skin/arrow-left.xpm); width: 4px; height: 7px; }
QScrollBar::right-arrow:horizontal { image: url(:/skin/arrow-right.xpm); width: 4px; height: 7px; }
QScrollBar::add-page:horizontal, QScrollBar::sub-page:horizontal { background: none; }
QWidget#bsBusinessSkinForm1 { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #3f7fd0, stop:1 #1f5aa6); }
QLabel#FormCaption { color: white; font-weight: bold; padding-left: 4px; }
QToolButton.FrameButton { border: 1px solid transparent; border-radius: 3px; background: transparent; color: white;
                          font-weight: bold; }
QToolButton.FrameButton:hover { background: rgba(255, 255, 255, 60); border-color: rgba(255, 255, 255, 120); }
QToolButton.FrameButton:pressed { background: rgba(0, 0, 0, 40); }
QToolButton#FrameClose:hover { background: #d9534f; border-color: #b52b27; }
QMessageBox { background: #f4f8fd; border: 2px solid #1f5aa6; }
QDialog#SkinMessage { background: #1f5aa6; }
QWidget#SkinMessageBody { background: #f4f8fd; }
QWidget#SkinMessageBody QLabel { color: #15428b; }
QDialogButtonBox QPushButton { min-width: 64px; padding: 3px 10px; color: #15428b; border: 1px solid #99bbe8;
                               border-radius: 3px; background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #d4e2f3); }
QDialogButtonBox QPushButton:hover { background: #eaf2fd; }
QMessageBox QPushButton { min-width: 64px; padding: 3px 10px; color: #15428b; border: 1px solid #99bbe8;
                          border-radius: 3px; background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #d4e2f3); }
QMessageBox QPushButton:hover { background: #eaf2fd; }
QMenu { background: #f7faff; border: 1px solid #99bbe8; }
QMenu::item:selected { background: #dfe8f6; color: #000; }
)";
}  // namespace

void ApplySkin(QApplication& app) {
    Q_INIT_RESOURCE(skin);
    QFont font("Noto Sans CJK SC");
    font.setPixelSize(12);
    app.setFont(font);
    app.setStyleSheet(kStyleSheet);
}

bool InstallChineseTranslations(QApplication& app) {
    // Qt's own texts (context menus of text boxes, dialog buttons) in the window's language.
    auto* translator = new QTranslator(&app);
    if (!translator->load(QLocale(QLocale::Chinese, QLocale::China), "qtbase", "_",
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
