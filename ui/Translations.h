#pragma once

class QCoreApplication;

namespace chengfan::ui {

// Qt's own texts (the edit boxes' context menus, the browser's pages) in
// Simplified Chinese, from Qt's zh_CN translations. They stay installed for the
// life of the application. False when the translation of Qt's base texts is not
// installed; the program's own texts are Chinese either way.
bool installChineseTranslations(QCoreApplication& app);

}  // namespace chengfan::ui
