#include "patch/ProgressText.h"

namespace fr {

bool FontProgress::report(std::int32_t step, const QString& line2) const {
    if (proc == nullptr) return false;
    // A count below one would divide by zero; the wizard always passes at least one.
    const std::int32_t n = count < 1 ? 1 : count;
    return proc(overallPercent(step, n, index), step, progress::revisingLine(path), line2, context);
}

QString revisionText(std::uint64_t fontRevision) {
    QString text = QString::number(static_cast<double>(fontRevision) / 65536.0, 'f', 3);
    while (text.endsWith(u'0') && !text.endsWith(QLatin1String(".0"))) text.chop(1);
    return text;
}

namespace progress {

QString insertText(QStringView format, const QString& value) {
    QString text = format.toString();
    const qsizetype at = text.indexOf(u"%@");
    if (at >= 0) text.replace(at, 2, value);
    return text;
}

QString revisingLine(const QString& fontPath) { return insertText(u"%@の改訂をしています。", fontPath); }
QString openingLine(const QString& name) { return insertText(u"%@のファイルをオープンしています。", name); }
QString readingLine(const QString& name) { return insertText(u"%@のファイルを読み込んでいます。", name); }
QString tagsReadLine() { return QStringLiteral("タグデータを読み込みました。"); }
QString serialNumberLine(const QString& name) {
    return insertText(u"%@のファイルにシリアルナンバーを書き込んでいます。", name);
}
QString checksumLine(const QString& name) {
    return insertText(u"%@のファイルのチェックサムを再計算しています。", name);
}
QString writingLine(const QString& name) { return insertText(u"%@のファイルを書き込んでいます。", name); }
QString copyingLine(const QString& name) {
    return insertText(u"%@のファイルをテンポラリフォルダからファイルをコピーしています。", name);
}

}  // namespace progress
}  // namespace fr
