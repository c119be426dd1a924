#pragma once
// Qt's own texts (the file dialog's labels and columns, the buttons of message boxes)
// in Chinese, like every text of the program, whatever language the desktop runs in.

class QCoreApplication;

namespace dialogs {

// Loads Qt's Chinese translations into `application` and makes Chinese (China) the
// default locale. False when the translations are not installed; Qt's texts then
// stay in English.
bool installChineseQtTexts(QCoreApplication& application);

}  // namespace dialogs
