#pragma once
// The product's Japanese texts, byte for byte: what the wizard must show under a Japanese
// locale, whatever the translation holds. "%@" stands for the one inserted text.

namespace jatext {

// The font manager message, byte for byte as the product has it: the first プログラム is
// precomposed, the second decomposed (フ + U+309A, ク + U+3099). Shown exactly as stored;
// never normalise it.
inline constexpr char kFontManagerRunning[] =
    "\"Font Book\"が起動中ですので改訂"
    "\u30D7\u30ED\u30B0\u30E9\u30E0"
    "を起動できません。\n\"Font Book\"を終了してから\"OpenType Velmoraフォント 改訂"
    "\u30D5\u309A\u30ED\u30AF\u3099\u30E9\u30E0"
    "\"を起動してください。";

// Cancel confirmations: the start and font list windows and the revision worker share one.
inline constexpr char kCancelRevision[] =
    "フォントの改訂を中止します。\n\n中止する場合は、”はい”ボタン、\n中止しない場合は、”いいえ”ボタンを押してください"
    "。";
inline constexpr char kCancelSearch[] =
    "改訂対象フォントの検索を中止します。\nよろしいですか？\n中止する場合は、”はい”ボタン、\n中止しない場合は、”いいえ”"
    "ボタンを押してください。";

// The search phase.
inline constexpr char kNoSource[] = "改訂元のフォントが存在しません。\n改訂を中止します。";
inline constexpr char kNoTarget[] = "該当するフォントがありませんでした。\n\n改訂プログラムを終了します。";
inline constexpr char kAnotherRevisionRunning[] =
    "別のフォントの改訂が実行中です。終了してからもう一度お試しください。";

// The revision phase.
inline constexpr char kNoTargetToRevise[] = "改訂対象となるフォントが存在しません。\n改訂を開始できません";
inline constexpr char kRevisionStopped[] = "OpenType Velmoraフォント の改訂を中止しました。";
inline constexpr char kSourceReadFailed[] =
    "改訂元（%@"
    "）ファイルの読み込みに失敗しました。\n\n正しくフォントのアップデートができなかったので、再度アップデートを行ってく"
    "ださい。";
inline constexpr char kNewFileFailed[] =
    "新しいフォントファイル（%@"
    "）の作成に失敗しました。\n\n正しくフォントのアップデートができなかったので、再度アップデートを行ってください。";
// Follows the target's file name directly.
inline constexpr char kPatchReadFailed[] =
    "の改訂ファイルの読み込みに失敗しました。\n\n正しくフォントのアップデートができなかったので、再度アップデートを行っ"
    "てください。";
inline constexpr char kNotReplaceable[] =
    "アクセス権が異なる環境のためフォント(%@)"
    "が更新できません。\n\n他のOSで管理されているフォントの場合は、管理OSを起動の上、アップデータを実行してください。";
inline constexpr char kRevisionSucceeded[] =
    "改訂が正常に終了しました。\n\n改訂したフォントを有効にする為に、システムを再起動します。\n再起動する場合は、”再起"
    "動”を押してください。";

// The window titles and buttons, and the progress lines.
inline constexpr char kTitle[] = "OpenType Velmoraフォント 改訂プログラム";
inline constexpr char kYes[] = "はい";
inline constexpr char kNo[] = "いいえ";
inline constexpr char kCancel[] = "キャンセル";
inline constexpr char kNext[] = "次へ";
inline constexpr char kStartRevision[] = "改訂開始";
inline constexpr char kRestart[] = "再起動";
inline constexpr char kRevising[] = "%@の改訂をしています。";
inline constexpr char kOpening[] = "%@のファイルをオープンしています。";
inline constexpr char kReading[] = "%@のファイルを読み込んでいます。";
inline constexpr char kTagsRead[] = "タグデータを読み込みました。";
inline constexpr char kSerialNumber[] = "%@のファイルにシリアルナンバーを書き込んでいます。";
inline constexpr char kChecksum[] = "%@のファイルのチェックサムを再計算しています。";
inline constexpr char kWriting[] = "%@のファイルを書き込んでいます。";
inline constexpr char kCopying[] = "%@のファイルをテンポラリフォルダからファイルをコピーしています。";

}  // namespace jatext
