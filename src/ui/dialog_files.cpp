#include "ui/dialog_files.h"

#include "files/input_file.h"
#include "files/safe_file.h"
#include "text/message_error.h"
#include "text/name_text.h"
#include "text/string_list.h"
#include "ui/dialog_common.h"
#include "ui/ui_questions.h"

#include <QtCore/QFileInfo>
#include <QtWidgets/QFileDialog>

namespace {

QString TextFilter() {
    return FileFilter("fltTextFiles", "*.txt");
}

} // namespace

std::optional<std::vector<std::string>> DlgLoadLines(QWidget* parent, const QString& caption) {
    QString file = QFileDialog::getOpenFileName(parent, caption, {}, TextFilter());
    if (file.isEmpty()) return std::nullopt;
    try {
        QFileInfo info(file);
        if (!info.isFile()) throw EMessageError("errFNF", Ss(file));
        if (info.size() > kDlgMaxTextFile) throw EMessageError("errUnknownFile", Ss(file));
        TStringList list;
        list.SetText(ReadInputFile(Ss(file)));
        std::vector<std::string> lines;
        lines.reserve(static_cast<size_t>(list.Count()));
        for (const auto& l : list.Lines())
            lines.push_back(nametext::ToDisplayName(l));
        return lines;
    } catch (const std::exception& e) {
        DlgShowError(parent, e);
        return std::nullopt;
    }
}

bool DlgSaveLines(QWidget* parent, const QString& caption, const std::vector<std::string>& lines) {
    QString file = QFileDialog::getSaveFileName(parent, caption, {}, TextFilter());
    if (file.isEmpty()) return false;
    try {
        TStringList list;
        for (const auto& l : lines)
            list.Add(l);
        WriteFileAtomically(Ss(file), list.Text());
        return true;
    } catch (const std::exception& e) {
        DlgShowError(parent, e);
        return false;
    }
}
