// SPDX-License-Identifier: GPL-3.0-or-later
#include "ToolkitTranslation.h"

#include "Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>

ToolkitTranslation &ToolkitTranslation::instance()
{
    static ToolkitTranslation translation;
    return translation;
}

QString ToolkitTranslation::folder()
{
#ifdef _WIN32
    // Built into the program: a single .exe has no translations folder beside it.
    return QStringLiteral(":/translations");
#else
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#endif
}

void ToolkitTranslation::apply(std::uint8_t code)
{
    const bool wanted = languageFromCode(code) == Language::Hungarian;
    if (wanted == installed_)
        return;
    if (!wanted) {
        QCoreApplication::removeTranslator(&supplement_);
        QCoreApplication::removeTranslator(&translator_);
        installed_ = false;
        return;
    }
    // Without the file the toolkit stays English, as it always was.
    if (translator_.isEmpty() && !translator_.load(QStringLiteral("qtbase_hu"), folder()))
        return;
    // Installed last, asked first: it answers only for what the toolkit's file lacks.
    installed_ = QCoreApplication::installTranslator(&translator_) &&
                 QCoreApplication::installTranslator(&supplement_);
}
