#include "ui/form_info.h"

// Debian ships the header without its converter, so conversion is switched off: values are
// stored as the UTF-8 bytes they are.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <QFile>

namespace {

// Loads the file into `ini`; a missing file leaves it empty, as a first start must.
void loadProfile(CSimpleIniA& ini, const QString& path) {
    ini.SetSpaces(false);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return;
    const QByteArray bytes = file.readAll();
    ini.LoadData(bytes.constData(), static_cast<size_t>(bytes.size()));
}

int leadingInteger(const QString& text) {
    const QString trimmed = text.trimmed();
    int i = 0;
    bool negative = false;
    if (i < trimmed.size() && (trimmed[i] == '-' || trimmed[i] == '+')) {
        negative = trimmed[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < trimmed.size() && trimmed[i].isDigit(); ++i) {
        value = value * 10 + trimmed[i].digitValue();
        if (value > 0x7fffffffLL) break;
    }
    return static_cast<int>(negative ? -value : value);
}

} // namespace

TFormInfo::TFormInfo(const QString& filePath) : filePath_(filePath) {}

QString TFormInfo::ReadString(const QString& section, const QString& key,
                              const QString& def) const {
    CSimpleIniA ini;
    loadProfile(ini, filePath_);
    const QByteArray s = section.toUtf8(), k = key.toUtf8();
    const char* value = ini.GetValue(s.constData(), k.constData(), nullptr);
    return value ? QString::fromUtf8(value) : def;
}

int TFormInfo::ReadInteger(const QString& section, const QString& key, int def) const {
    CSimpleIniA ini;
    loadProfile(ini, filePath_);
    const QByteArray s = section.toUtf8(), k = key.toUtf8();
    const char* value = ini.GetValue(s.constData(), k.constData(), nullptr);
    return value ? leadingInteger(QString::fromUtf8(value)) : def;
}

bool TFormInfo::WriteInteger(const QString& section, const QString& key, int value) {
    return WriteString(section, key, QString::number(value));
}

bool TFormInfo::WriteString(const QString& section, const QString& key, const QString& value) {
    CSimpleIniA ini;
    loadProfile(ini, filePath_);
    const QByteArray s = section.toUtf8(), k = key.toUtf8(), v = value.toUtf8();
    // Without force-replace SimpleIni keeps an existing key's load order, which is exactly the
    // profile API's "the key keeps its place".
    if (ini.SetValue(s.constData(), k.constData(), v.constData()) < 0) return false;
    std::string out;
    if (ini.Save(out) < 0) return false;
    // SimpleIni puts two blank lines before every section but the first; one keeps the file as
    // the profile API leaves it.
    for (size_t at = out.find("\n\n\n"); at != std::string::npos; at = out.find("\n\n\n", at))
        out.erase(at, 1);
    QFile file(filePath_);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return file.write(out.data(), static_cast<qint64>(out.size())) ==
           static_cast<qint64>(out.size());
}
