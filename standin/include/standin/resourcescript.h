#pragma once

#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

namespace standin {

// One control of a dialog template, in dialog units.
struct DialogControl {
    QString className;  // "Button", "Static", "Edit" or the custom class named
    QString text;
    int id = -1;
    int x = 0, y = 0, width = 0, height = 0;
    quint32 style = 0;
    quint32 exStyle = 0;
};

struct DialogTemplate {
    int id = 0;
    bool extended = false;  // DIALOGEX
    int x = 0, y = 0, width = 0, height = 0;
    quint32 style = 0;
    quint32 exStyle = 0;
    QString caption;
    int fontSize = 0;
    QString fontFace;
    QVector<DialogControl> controls;

    const DialogControl* control(int controlId) const;
};

struct VersionInfo {
    quint16 fileVersion[4] = {0, 0, 0, 0};
    quint16 productVersion[4] = {0, 0, 0, 0};
    quint32 fileFlagsMask = 0, fileFlags = 0, fileOS = 0, fileType = 0, fileSubtype = 0;
    // "BlockName/Key" -> value, e.g. "StringFileInfo/040904b0/FileVersion".
    QMap<QString, QString> values;
};

// A resource whose data is a file beside the script: bitmaps, icons, manifests.
struct FileResource {
    int type = 0;  // 2 bitmap, 3 icon, 24 manifest, or the number given
    int id = 0;
    QString path;  // resolved against the script's folder
};

// A resource script (.rc) as the resource compiler reads it, as far as
// modules built here use it: #include and #define from headers beside the
// script, conditionals, LANGUAGE, STRINGTABLE, DIALOG and DIALOGEX with
// their controls, VERSIONINFO, and resources taken from files.
class ResourceScript {
public:
    // False with a message naming the file and line on the first error.
    bool parse(const QString& path, QString* error = nullptr);

    // The string of the table for that language, or of any table when the
    // language has none.
    std::optional<QString> string(int id, int language = 1033) const;
    const DialogTemplate* dialog(int id) const;
    const FileResource* file(int type, int id) const;
    const std::optional<VersionInfo>& version() const { return versionInfo; }
    // Integer macros from the script and its headers.
    std::optional<qint64> define(const QString& name) const;

private:
    friend class ScriptParser;
    QMap<int, QMap<int, QString>> stringTables;  // language -> id -> text
    QMap<int, DialogTemplate> dialogs;
    QVector<FileResource> files;
    std::optional<VersionInfo> versionInfo;
    QHash<QString, qint64> defines;
};

}  // namespace standin
