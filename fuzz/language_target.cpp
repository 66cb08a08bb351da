// The language-file reader: any file loads and applies without harm, and no
// message text it leaves holds a line break.
#include "fuzz_support.h"
#include "settings/message_table.h"
#include "text/message_error.h"
#include "text/text_utils.h"
#include "ui/multi_lang.h"

#include <QtCore/QCoreApplication>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // The translator asks the application for its folder.
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TFuzzFile input("in.bab");
    static TMultiLang lang;
    const QString path = QString::fromStdString(input.Write(data, size));
    TMultiLang::FirstLine(path);
    try {
        lang.LoadLanguageFile(path);
    } catch (const EMessageError&) {
        return 0;
    }
    lang.Apply();
    for (const std::string& line : MessageTableLines())
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos, line);
    GetMessageText("msgsZipErr", "%s%d");
    // Every input starts from the built-in texts.
    ResetMessageTable();
    SetSizeUnitTexts("KB", "MB");
    return 0;
}
