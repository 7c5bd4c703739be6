#pragma once

namespace zelk::app {

// Makes Qt's own texts Chinese whatever the system's language: the Chinese (China) locale for
// dates, numbers and calendar pop-ups, and Qt's Chinese translations (button texts such as
// "确定", the print and file dialogs, the text fields' context menus). Call once after the
// application object exists and before any window is built. Returns whether the translations
// were found.
bool setUpChinese();

} // namespace zelk::app
