<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>AskMessageWindow</name>
    <message>
        <source>OpenType Velmora Font Reviser</source>
        <translation>OpenType Velmoraフォント 改訂プログラム</translation>
    </message>
    <message>
        <source>No</source>
        <translation>いいえ</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>はい</translation>
    </message>
</context>
<context>
    <name>CommandLineText</name>
    <message>
        <source>unknown option: %1</source>
        <translation>不明なオプションです: %1</translation>
    </message>
    <message>
        <source>--restart and --dry-run exclude each other</source>
        <translation>--restart と --dry-run は同時に指定できません</translation>
    </message>
    <message>
        <source>Note: the patches in %1 are not verified by a signed manifest.</source>
        <translation>注意: %1 のパッチは署名されたマニフェストで検証されていません。</translation>
    </message>
    <message>
        <source>Searching: %1</source>
        <translation>検索しています: %1</translation>
    </message>
    <message>
        <source>Not a patch: %1</source>
        <translation>パッチではありません: %1</translation>
    </message>
    <message>
        <source>Not revised: %1</source>
        <translation>改訂しません: %1</translation>
    </message>
    <message>
        <source>Not searched: %1</source>
        <translation>検索しません: %1</translation>
    </message>
    <message>
        <source>Searched: volume %1</source>
        <translation>検索しました: ボリューム %1</translation>
    </message>
    <message>
        <source>Searched: font folder %1</source>
        <translation>検索しました: フォントフォルダ %1</translation>
    </message>
    <message>
        <source>this user may not replace it (%1: %2)</source>
        <translation>このユーザーは置き換えられません (%1: %2)</translation>
    </message>
    <message>
        <source>failed (status %1):</source>
        <translation>失敗しました（終了ステータス %1）:</translation>
    </message>
    <message>
        <source>already revised (the same file):</source>
        <translation>同じファイルは改訂済みです:</translation>
    </message>
    <message>
        <source>would be revised:</source>
        <translation>改訂できます:</translation>
    </message>
    <message>
        <source>revised:</source>
        <translation>改訂しました:</translation>
    </message>
    <message>
        <source>Fonts that would be revised:</source>
        <translation>改訂できるフォント:</translation>
    </message>
    <message>
        <source>Revised fonts:</source>
        <translation>改訂したフォント:</translation>
    </message>
    <message>
        <source>There is no patch to revise the fonts with in %1: the revision stops.</source>
        <translation>改訂元のフォントが存在しません（%1）。
改訂を中止します。</translation>
    </message>
    <message>
        <source>No installed font is to be revised.</source>
        <translation>該当するフォントがありませんでした。

改訂プログラムを終了します。</translation>
    </message>
    <message>
        <source>Dry run: nothing was changed; %1 font(s) would be revised.</source>
        <translation>予行演習です。何も変更していません。%1 個のフォントを改訂できます。</translation>
    </message>
    <message>
        <source>The revision finished successfully.</source>
        <translation>改訂が正常に終了しました。</translation>
    </message>
    <message>
        <source>Restart the system so that the revised fonts take effect.</source>
        <translation>改訂したフォントを有効にするには、システムを再起動してください。</translation>
    </message>
    <message>
        <source>Asked the system to restart.</source>
        <translation>システムの再起動を要求しました。</translation>
    </message>
    <message>
        <source>Could not ask the system to restart.</source>
        <translation>システムの再起動を要求できませんでした。</translation>
    </message>
    <message>
        <source>%1: no display: use --list or --revise, see --help
</source>
        <translation>%1: ディスプレイがありません。--list か --revise を使ってください（--help を参照）。
</translation>
    </message>
    <message>
        <source>%1: %2
Try &apos;%1 --help&apos;.
</source>
        <translation>%1: %2
&apos;%1 --help&apos; を参照してください。
</translation>
    </message>
    <message>
        <source>search, then revise every font found, in the wizard&apos;s order; the
run stops at the first font that fails</source>
        <translation>検索し、見つかったフォントをウィザードと同じ順に改訂します。失敗した
フォントで改訂を止めます</translation>
    </message>
    <message>
        <source>with --revise: try every font even after one fails; the exit
status is then the first failure&apos;s</source>
        <translation>--revise とともに: フォントが失敗しても残りのフォントを改訂します。
終了ステータスは最初の失敗のものです</translation>
    </message>
    <message>
        <source>after a successful --revise, also ask the system to restart
(without it the program only says that a restart is needed)</source>
        <translation>--revise が成功したら、システムの再起動も要求します
（指定しなければ、再起動が必要であることを表示するだけです）</translation>
    </message>
    <message>
        <source>where this program trusts a signing key, it applies only patches
whose signed manifest lies in &quot;host&quot;; with this option it also
applies patches from a &quot;host&quot; folder without one, unverified</source>
        <translation>署名の鍵を持つプログラムは、&quot;host&quot; に署名付きマニフェストのあるパッチ
だけを適用します。このオプションを指定すると、マニフェストのない &quot;host&quot;
フォルダのパッチも検証せずに適用します</translation>
    </message>
    <message>
        <source>also tell each file of &quot;host&quot; that is no patch, each font met
that is no target, and the volumes and font folders walked or not</source>
        <translation>&quot;host&quot; のパッチでないファイル、改訂対象でないフォント、検索した
ボリュームとフォントフォルダ、検索しなかったものも表示します</translation>
    </message>
    <message>
        <source>print one JSON object per event on standard output instead of text</source>
        <translation>テキストの代わりに、出来事ごとに JSON オブジェクトを1行ずつ標準出力に出します</translation>
    </message>
    <message>
        <source>print this help</source>
        <translation>このヘルプを表示します</translation>
    </message>
    <message>
        <source>print the version and the key the patches must be signed with</source>
        <translation>バージョンと、パッチの署名に必要な鍵を表示します</translation>
    </message>
    <message>
        <source>every font found was revised, or would be (--list: fonts were found)</source>
        <translation>見つかったフォントをすべて改訂した、または改訂できる（--list: フォントが見つかった）</translation>
    </message>
    <message>
        <source>an installed font or the data for it is unusable</source>
        <translation>インストールされているフォントまたはそのデータが使えない</translation>
    </message>
    <message>
        <source>stopped (SIGINT or SIGTERM)</source>
        <translation>中止した（SIGINT または SIGTERM）</translation>
    </message>
    <message>
        <source>a patch file could not be read, or is not the one the manifest lists</source>
        <translation>パッチファイルを読み込めない、またはマニフェストのものではない</translation>
    </message>
    <message>
        <source>the new font file could not be made, or was not as built</source>
        <translation>新しいフォントファイルを作れない、または組み立てたとおりではない</translation>
    </message>
    <message>
        <source>an installed font may not be replaced by this user</source>
        <translation>このユーザーはインストールされているフォントを置き換えられない</translation>
    </message>
    <message>
        <source>putting the new font in place failed</source>
        <translation>新しいフォントを所定の場所に置けなかった</translation>
    </message>
    <message>
        <source>a file of the program&apos;s could not be removed, or one stays beside a
font because it may be that font&apos;s only good copy</source>
        <translation>プログラムのファイルを削除できなかった、またはフォントの唯一の正しい
コピーかもしれないためフォントの隣に残した</translation>
    </message>
    <message>
        <source>no patch file in the &quot;host&quot; folder, its manifest can&apos;t be trusted, or
it has none where this program trusts a key (see --allow-unsigned)</source>
        <translation>&quot;host&quot; フォルダにパッチがない、マニフェストが信頼できない、または鍵を
持つプログラムなのにマニフェストがない（--allow-unsigned を参照）</translation>
    </message>
    <message>
        <source>no installed font to revise</source>
        <translation>改訂するフォントがない</translation>
    </message>
    <message>
        <source>the font manager is running</source>
        <translation>フォント管理アプリケーションが起動している</translation>
    </message>
    <message>
        <source>the fonts were revised, but the restart request could not be sent</source>
        <translation>フォントは改訂したが、再起動を要求できなかった</translation>
    </message>
    <message>
        <source>a bad command line, or no option and no display</source>
        <translation>コマンドラインが正しくない、またはオプションもディスプレイもない</translation>
    </message>
    <message>
        <source>Revises the installed Velmora and Kestrune OpenType fonts with the patches in the
&quot;host&quot; folder beside the program. Without an option the wizard starts; with one,
the program runs without windows (no display needed).
</source>
        <translation>プログラムの隣の &quot;host&quot; フォルダにあるパッチで、インストールされている Velmora と
Kestrune の OpenType フォントを改訂します。オプションがなければウィザードが起動し、
オプションがあればウィンドウなしで動作します（ディスプレイは不要です）。
</translation>
    </message>
    <message>
        <source>Progress goes to standard error; every failure comes with a reason (an identifier
and a line in English). Messages follow the locale (LC_ALL, LC_MESSAGES, LANG):
Japanese under a ja locale, English otherwise. SIGINT and SIGTERM stop the run as the
Cancel button does: the font being revised is left untouched or completed.
</source>
        <translation>進行状況は標準エラー出力に出ます。失敗にはすべて理由（識別子と英語の1行）が付きます。
メッセージはロケール（LC_ALL、LC_MESSAGES、LANG）に従い、ja ロケールでは日本語、
それ以外では英語です。SIGINT と SIGTERM はキャンセルボタンと同じく改訂を止めます。
改訂中のフォントは変更されないか、改訂を終えます。
</translation>
    </message>
    <message>
        <source>Exit status:</source>
        <translation>終了ステータス:</translation>
    </message>
    <message>
        <source>Patches must be signed with the minisign key %1.</source>
        <translation>パッチには minisign の鍵 %1 による署名が必要です。</translation>
    </message>
    <message>
        <source>This build trusts no signing key: patches are applied unverified.</source>
        <translation>このビルドは署名の鍵を持たないため、パッチを検証せずに適用します。</translation>
    </message>
    <message>
        <source>Note: this program trusts no signing key, so the signed manifest in %1 can&apos;t be checked: the patches are applied unverified.</source>
        <translation>注意: このプログラムは署名の鍵を持たないため、%1 の署名付きマニフェストを確かめられません。パッチは検証せずに適用します。</translation>
    </message>
    <message>
        <source>Run the program as root (for example with sudo), or ask an administrator.</source>
        <translation>root として（たとえば sudo で）実行するか、管理者に依頼してください。</translation>
    </message>
    <message>
        <source>--helper takes no other option</source>
        <translation>--helper は他のオプションとともに指定できません</translation>
    </message>
    <message>
        <source>%1: --helper reads installed fonts&apos; paths, one a line, ended by an empty line
</source>
        <translation>%1: --helper は、インストールされているフォントのパスを1行に1つずつ読み、空行で終わります
</translation>
    </message>
    <message>
        <source>%1 needs a value</source>
        <translation>%1 には値が必要です</translation>
    </message>
    <message>
        <source>--wait takes a number of seconds</source>
        <translation>--wait には秒数を指定します</translation>
    </message>
    <message>
        <source>--keep-backups takes a number of runs</source>
        <translation>--keep-backups には実行の数を指定します</translation>
    </message>
    <message>
        <source>--list, --revise, --undo and --history exclude each other</source>
        <translation>--list、--revise、--undo、--history は同時に指定できません</translation>
    </message>
    <message>
        <source>--restart and --keep-going go with --revise</source>
        <translation>--restart と --keep-going は --revise とともに指定します</translation>
    </message>
    <message>
        <source>--dry-run goes with --revise or --undo</source>
        <translation>--dry-run は --revise または --undo とともに指定します</translation>
    </message>
    <message>
        <source>--verbose, --allow-unsigned, --host, --under and --font-folders-only go with --list or --revise</source>
        <translation>--verbose、--allow-unsigned、--host、--under、--font-folders-only は --list または --revise とともに指定します</translation>
    </message>
    <message>
        <source>--under and --font-folders-only exclude each other</source>
        <translation>--under と --font-folders-only は同時に指定できません</translation>
    </message>
    <message>
        <source>--under takes an absolute path: %1</source>
        <translation>--under には絶対パスを指定します: %1</translation>
    </message>
    <message>
        <source>--wait and --keep-backups go with --revise or --undo</source>
        <translation>--wait と --keep-backups は --revise または --undo とともに指定します</translation>
    </message>
    <message>
        <source>--json goes with --list, --revise, --undo or --history</source>
        <translation>--json は --list、--revise、--undo、--history のいずれかとともに指定します</translation>
    </message>
    <message>
        <source>search the local disks and fontconfig&apos;s font folders and print each
font that would be revised, with its revision, the one it would
become, and whether this user may replace it</source>
        <translation>ローカルディスクと fontconfig のフォントフォルダを検索し、改訂される
フォントを、そのリビジョン、改訂後のリビジョン、このユーザーが
置き換えられるかどうかとともに表示します</translation>
    </message>
    <message>
        <source>with --revise: everything short of writing (the patches, the new
fonts built and checked in memory, the permissions); nothing is
written or removed, and the exit status is the one --revise would give;
with --undo: what would be put back</source>
        <translation>--revise とともに: 書き込みの手前まですべてを行います（パッチ、メモリ上で
組み立てて検査する新しいフォント、アクセス権）。何も書き込まず何も削除せず、
終了ステータスは --revise と同じです。--undo とともに: 元に戻せるものを表示します</translation>
    </message>
    <message>
        <source>put back the fonts a run replaced (the last run that replaced any, or
RUN as --history names it), each only where the file in place is still
what that run wrote; any other is skipped with its reason</source>
        <translation>実行が置き換えたフォントを元に戻します（フォントを置き換えた最後の実行、
または --history が示す実行 RUN）。置かれているファイルがその実行の書いた
ままのものだけを戻し、それ以外は理由とともに飛ばします</translation>
    </message>
    <message>
        <source>print the runs that wrote, each font with its revisions and SHA-256
digests, and the space the kept old fonts take</source>
        <translation>書き込みを行った実行を、各フォントのリビジョンと SHA-256 ダイジェスト、
保管している古いフォントの使用容量とともに表示します</translation>
    </message>
    <message>
        <source>search only inside this folder, the search&apos;s rules applying there
(may be given more than once)</source>
        <translation>このフォルダの中だけを検索します（中では通常の検索の規則が適用されます。
複数回指定できます）</translation>
    </message>
    <message>
        <source>search only fontconfig&apos;s font folders, no volume</source>
        <translation>fontconfig のフォントフォルダだけを検索し、ボリュームは検索しません</translation>
    </message>
    <message>
        <source>take the patches from DIR instead of the &quot;host&quot; folder beside the
program or /usr/share/font-reviser/host (the signature rules stay)</source>
        <translation>プログラムと同じ場所の「host」フォルダや /usr/share/font-reviser/host の代わりに
DIR のパッチを使います（署名の規則はそのまま適用されます）</translation>
    </message>
    <message>
        <source>where another run holds the lock, wait up to SECONDS for it to end</source>
        <translation>別の実行がロックを持っているとき、その終了を最大 SECONDS 秒待ちます</translation>
    </message>
    <message>
        <source>keep the replaced fonts of the last N runs for --undo (3 by default)</source>
        <translation>--undo のために、直近 N 回の実行で置き換えたフォントを保管します（既定は 3）</translation>
    </message>
    <message>
        <source>another run of the program holds the lock (see --wait)</source>
        <translation>このプログラムの別の実行がロックを持っている（--wait を参照）</translation>
    </message>
    <message>
        <source>Usage: %1 --list [SEARCH OPTIONS] [--json]
       %1 --revise [--dry-run | --restart] [--keep-going] [SEARCH OPTIONS]
              [--wait SECONDS] [--keep-backups N] [--json]
       %1 --undo [RUN] [--dry-run] [--wait SECONDS] [--json]
       %1 --history [--json]
Search options: [--under PATH]... | [--font-folders-only], [--host DIR],
                [--allow-unsigned], [--verbose]
</source>
        <translation>使い方: %1 --list [検索オプション] [--json]
        %1 --revise [--dry-run | --restart] [--keep-going] [検索オプション]
               [--wait SECONDS] [--keep-backups N] [--json]
        %1 --undo [RUN] [--dry-run] [--wait SECONDS] [--json]
        %1 --history [--json]
検索オプション: [--under PATH]... | [--font-folders-only], [--host DIR],
                [--allow-unsigned], [--verbose]
</translation>
    </message>
    <message>
        <source>One run that writes at a time: it takes the lock /run/lock/font-reviser.lock (root) or
$XDG_RUNTIME_DIR/font-reviser.lock (a user). Each such run is added to the history
/var/lib/font-reviser/history.jsonl (root) or $XDG_STATE_HOME/font-reviser/history.jsonl,
every font it revised to the system journal, and the fonts it replaced are kept in
the backup folder beside the history.
</source>
        <translation>書き込みを行う実行は一度に一つだけです。ロック /run/lock/font-reviser.lock（root）または
$XDG_RUNTIME_DIR/font-reviser.lock（一般ユーザー）を取得します。そうした実行はそれぞれ履歴
/var/lib/font-reviser/history.jsonl（root）または $XDG_STATE_HOME/font-reviser/history.jsonl に
追加され、改訂した各フォントはシステムジャーナルに記録され、置き換えたフォントは履歴と
同じ場所の backup フォルダに保管されます。
</translation>
    </message>
    <message>
        <source>would be put back:</source>
        <translation>元に戻せます:</translation>
    </message>
    <message>
        <source>put back:</source>
        <translation>元に戻しました:</translation>
    </message>
    <message>
        <source>Fonts that would be put back:</source>
        <translation>元に戻せるフォント:</translation>
    </message>
    <message>
        <source>Fonts put back:</source>
        <translation>元に戻したフォント:</translation>
    </message>
    <message>
        <source>Recorded in the history as run %1.</source>
        <translation>履歴に実行 %1 として記録しました。</translation>
    </message>
    <message>
        <source>No run has been recorded yet.</source>
        <translation>記録された実行はまだありません。</translation>
    </message>
    <message>
        <source>Run %1  %2  %3, status %4, version %5</source>
        <translation>実行 %1  %2  %3、終了ステータス %4、バージョン %5</translation>
    </message>
    <message>
        <source>patch set %1</source>
        <translation>パッチセット %1</translation>
    </message>
    <message>
        <source>undoes %1</source>
        <translation>%1 を元に戻す</translation>
    </message>
    <message>
        <source>replaced</source>
        <translation>置き換え済み</translation>
    </message>
    <message>
        <source>failed (status %1)</source>
        <translation>失敗（終了ステータス %1）</translation>
    </message>
    <message>
        <source>Kept old fonts: %1</source>
        <translation>保管している古いフォント: %1</translation>
    </message>
    <message>
        <source>The kept old fonts take %1 in %2.</source>
        <translation>保管している古いフォントは %2 で %1 を使用しています。</translation>
    </message>
    <message>
        <source>Note: the run could not be added to the history %1.</source>
        <translation>注意: この実行を履歴 %1 に追加できませんでした。</translation>
    </message>
    <message>
        <source>The lock %1 can&apos;t be taken: no run can start.</source>
        <translation>ロック %1 を取得できないため、実行を開始できません。</translation>
    </message>
    <message>
        <source>Another revision is running (process %1): try again once it has ended, or wait for it with --wait.</source>
        <translation>別の改訂が実行中です（プロセス %1）。終了してからもう一度実行するか、--wait で終了を待ってください。</translation>
    </message>
    <message>
        <source>--under: no such folder: %1</source>
        <translation>--under: フォルダがありません: %1</translation>
    </message>
    <message>
        <source>No recorded run has fonts to put back.</source>
        <translation>元に戻せるフォントのある実行は記録されていません。</translation>
    </message>
    <message>
        <source>There is no run %1 in the history.</source>
        <translation>履歴に実行 %1 はありません。</translation>
    </message>
    <message>
        <source>Dry run: nothing was changed; %1 font(s) would be put back.</source>
        <translation>予行演習です。何も変更していません。%1 個のフォントを元に戻せます。</translation>
    </message>
    <message>
        <source>The fonts of run %1 were put back.</source>
        <translation>実行 %1 のフォントを元に戻しました。</translation>
    </message>
    <message>
        <source>Not put back: %1</source>
        <translation>元に戻しませんでした: %1</translation>
    </message>
</context>
<context>
    <name>EndWindow</name>
    <message>
        <source>OpenType Velmora Font Reviser</source>
        <translation>OpenType Velmoraフォント 改訂プログラム</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Restart</source>
        <translation>再起動</translation>
    </message>
</context>
<context>
    <name>FontListWindow</name>
    <message>
        <source>OpenType Velmora Font Reviser</source>
        <translation>OpenType Velmoraフォント 改訂プログラム</translation>
    </message>
    <message>
        <source>The following fonts will be revised.
To begin, press the “Start Revision” button.</source>
        <translation>次のフォントを改訂します。
改訂を始めるには、”改訂開始”ボタンを押してください。</translation>
    </message>
    <message>
        <source>Note: no signature of the vendor proves these patches.</source>
        <translation>注意：改訂ファイルは、販売元の署名で確かめられていません。</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Start Revision</source>
        <translation>改訂開始</translation>
    </message>
</context>
<context>
    <name>MessageWindow</name>
    <message>
        <source>OpenType Velmora Font Reviser</source>
        <translation>OpenType Velmoraフォント 改訂プログラム</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>ProgressText</name>
    <message>
        <source>Opening the file %1.</source>
        <translation>%1のファイルをオープンしています。</translation>
    </message>
    <message>
        <source>Reading the file %1.</source>
        <translation>%1のファイルを読み込んでいます。</translation>
    </message>
    <message>
        <source>The tables have been read.</source>
        <translation>タグデータを読み込みました。</translation>
    </message>
    <message>
        <source>Writing the serial number into the file %1.</source>
        <translation>%1のファイルにシリアルナンバーを書き込んでいます。</translation>
    </message>
    <message>
        <source>Recomputing the checksums of the file %1.</source>
        <translation>%1のファイルのチェックサムを再計算しています。</translation>
    </message>
    <message>
        <source>Writing the file %1.</source>
        <translation>%1のファイルを書き込んでいます。</translation>
    </message>
    <message>
        <source>Copying the file %1 from the temporary folder.</source>
        <translation>%1のファイルをテンポラリフォルダからファイルをコピーしています。</translation>
    </message>
    <message>
        <source>Revising %1.</source>
        <translation>%1の改訂をしています。</translation>
    </message>
</context>
<context>
    <name>ProgressWindow</name>
    <message>
        <source>OpenType Velmora Font Reviser</source>
        <translation>OpenType Velmoraフォント 改訂プログラム</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
</context>
<context>
    <name>ResultText</name>
    <message>
        <source>Reading the font to revise (%1) failed.

The font was not updated correctly: run the update again.</source>
        <translation>改訂元（%1）ファイルの読み込みに失敗しました。

正しくフォントのアップデートができなかったので、再度アップデートを行ってください。</translation>
    </message>
    <message>
        <source>Making the new font file (%1) failed.

The font was not updated correctly: run the update again.</source>
        <translation>新しいフォントファイル（%1）の作成に失敗しました。

正しくフォントのアップデートができなかったので、再度アップデートを行ってください。</translation>
    </message>
    <message>
        <source>Reading the patch file for %1 failed.

The font was not updated correctly: run the update again.</source>
        <translation>%1の改訂ファイルの読み込みに失敗しました。

正しくフォントのアップデートができなかったので、再度アップデートを行ってください。</translation>
    </message>
    <message>
        <source>The font (%1) can&apos;t be updated: the access rights differ in this environment.

For a font managed by another system, start that system and run the update there.</source>
        <translation>アクセス権が異なる環境のためフォント(%1)が更新できません。

他のOSで管理されているフォントの場合は、管理OSを起動の上、アップデータを実行してください。</translation>
    </message>
    <message>
        <source>The revision of the OpenType Velmora fonts was stopped.</source>
        <translation>OpenType Velmoraフォント の改訂を中止しました。</translation>
    </message>
</context>
<context>
    <name>SearchWindow</name>
    <message>
        <source>OpenType Velmora Font Reviser</source>
        <translation>OpenType Velmoraフォント 改訂プログラム</translation>
    </message>
    <message>
        <source>Searching for the fonts to revise. Please wait.</source>
        <translation>改訂対象のフォントを検索しています。しばらくお待ちください。</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
</context>
<context>
    <name>StartWindow</name>
    <message>
        <source>OpenType Velmora Font Reviser</source>
        <translation>OpenType Velmoraフォント 改訂プログラム</translation>
    </message>
    <message>
        <source>This program revises the following installed fonts.
To begin, press the “Next” button.</source>
        <translation>このプログラムは、インストールされている次のフォントを改訂します。
改訂を始めるには、”次へ”ボタンを押してください。</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>次へ</translation>
    </message>
</context>
<context>
    <name>WizardText</name>
    <message>
        <source>&quot;Font Book&quot; is running, so the revision program can&apos;t start.
Quit &quot;Font Book&quot;, then start the &quot;OpenType Velmora font revision program&quot;.</source>
        <translation>&quot;Font Book&quot;が起動中ですので改訂プログラムを起動できません。
&quot;Font Book&quot;を終了してから&quot;OpenType Velmoraフォント 改訂プログラム&quot;を起動してください。</translation>
    </message>
    <message>
        <source>The font revision will be stopped.

To stop it, press the “Yes” button;
not to stop it, press the “No” button.</source>
        <translation>フォントの改訂を中止します。

中止する場合は、”はい”ボタン、
中止しない場合は、”いいえ”ボタンを押してください。</translation>
    </message>
    <message>
        <source>The search for fonts to revise will be stopped.
Is that all right?
To stop it, press the “Yes” button;
not to stop it, press the “No” button.</source>
        <translation>改訂対象フォントの検索を中止します。
よろしいですか？
中止する場合は、”はい”ボタン、
中止しない場合は、”いいえ”ボタンを押してください。</translation>
    </message>
    <message>
        <source>There is no font to revise from.
The revision is stopped.</source>
        <translation>改訂元のフォントが存在しません。
改訂を中止します。</translation>
    </message>
    <message>
        <source>No font to revise was found.

The revision program ends.</source>
        <translation>該当するフォントがありませんでした。

改訂プログラムを終了します。</translation>
    </message>
    <message>
        <source>There is no font to revise.
The revision can&apos;t start.</source>
        <translation>改訂対象となるフォントが存在しません。
改訂を開始できません</translation>
    </message>
    <message>
        <source>The revision ended normally.

To make the revised fonts take effect, the system will restart.
To restart it, press “Restart”.</source>
        <translation>改訂が正常に終了しました。

改訂したフォントを有効にする為に、システムを再起動します。
再起動する場合は、”再起動”を押してください。</translation>
    </message>
    <message>
        <source>Applications started from now on already use the new fonts; restarting makes every running one use them.</source>
        <translation>これから起動するアプリケーションでは、改訂したフォントがすでに使われます。再起動すると、起動中のアプリケーションでも使われます。</translation>
    </message>
    <message>
        <source>There is no folder %1.</source>
        <translation>フォルダ %1 がありません。</translation>
    </message>
    <message>
        <source>%1 holds no patch for these fonts.</source>
        <translation>%1 には、これらのフォントの改訂ファイルがありません。</translation>
    </message>
    <message>
        <source>The patches in %1 carry no signature of the vendor, which this program requires.</source>
        <translation>%1 の改訂ファイルには、このプログラムが必要とする販売元の署名がありません。</translation>
    </message>
    <message>
        <source>The signature of the patches in %1 does not verify.</source>
        <translation>%1 の改訂ファイルの署名を確かめられません。</translation>
    </message>
    <message>
        <source>The signed list of the patches in %1 can&apos;t be read.</source>
        <translation>%1 の改訂ファイルの署名付き一覧を読み込めません。</translation>
    </message>
    <message>
        <source>These fonts were revised before the stop:</source>
        <translation>中止する前に、次のフォントを改訂しました:</translation>
    </message>
    <message>
        <source>An administrator&apos;s authentication is needed to revise this font; the program asks for it once when the revision starts.</source>
        <translation>このフォントの改訂には管理者の認証が必要です。改訂を始めるときに一度だけ認証を求めます。</translation>
    </message>
    <message>
        <source>The authentication was refused or dismissed: these fonts, which need an administrator, were not revised:</source>
        <translation>認証が拒否されたか取り消されたため、管理者が必要な次のフォントは改訂していません:</translation>
    </message>
    <message>
        <source>No desktop session can restart the computer so that running programs save their work first.

Restart now? Every running program is stopped at once, and unsaved work in them is lost.
To restart now, press the “Yes” button; not to, press the “No” button.</source>
        <translation>起動中のプログラムに作業を保存させてから再起動できるデスクトップセッションがありません。

今すぐ再起動しますか？ 起動中のプログラムはすべてすぐに終了し、保存していない作業は失われます。
今すぐ再起動する場合は、”はい”ボタン、
再起動しない場合は、”いいえ”ボタンを押してください。</translation>
    </message>
    <message>
        <source>Another revision of the fonts is running. Try again once it has ended.</source>
        <translation>別のフォントの改訂が実行中です。終了してからもう一度お試しください。</translation>
    </message>
    <message>
        <source>The program can&apos;t take its lock %1, so no revision can start.</source>
        <translation>ロック %1 を取得できないため、改訂を開始できません。</translation>
    </message>
    <message>
        <source>Another revision with an administrator&apos;s rights is running: these fonts, which need an administrator, were not revised:</source>
        <translation>管理者権限での別の改訂が実行中のため、管理者が必要な次のフォントは改訂していません:</translation>
    </message>
</context>
</TS>
