// The default engine end to end: the real MeCab dictionary, every rule and
// the shipped packs.

#include "correction/local_correction_service.hpp"

#include "morphology/mecab_japanese_tokenizer.hpp"
#include "rule_test_support.hpp"

#include <gtest/gtest.h>

#include <time.h>

#include <algorithm>

namespace mivo {
namespace {

using testing::applyIssue;
using Severity = CorrectionIssue::Severity;

const LocalCorrectionService& engine() {
    static const LocalCorrectionService service;
    return service;
}

CompletedSentenceCandidate sentence(const std::string& text, int64_t start = 0) {
    CompletedSentenceCandidate c;
    c.id = "S";
    c.text = text;
    c.range = TextRange{start, start + text::characterCount(text)};
    return c;
}

struct Case {
    std::string text;
    std::vector<testing::Expected> expected;
    std::string why = {};
};

TEST(DefaultEngine, UsesTheSharedTokenizer) {
    ASSERT_NE(MecabJapaneseTokenizer::shared(), nullptr) << "the IPA dictionary is not installed";
    EXPECT_EQ(engine().tokenizer(), MecabJapaneseTokenizer::shared());
}

// A line pasted whole (a log, a long paragraph without 。) is checked in
// time linear in its length: sixteen times the text may cost sixteen times
// as much, with room for noise, but not the 256 times of a quadratic walk.
TEST(DefaultEngine, ALongLineIsCheckedInTimeLinearInItsLength) {
    // Processor time of this thread: other work on the machine does not count.
    const auto cpuSeconds = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
    };
    const auto bestTimeFor = [&](int repeats) {
        std::string text;
        for (int i = 0; i < repeats; ++i)
            text += "ちょっと待って、";  // a rewrite that ends its phrase, every time
        const auto candidate = sentence(text);
        double best = 1e9;
        for (int run = 0; run < 5; ++run) {
            const double start = cpuSeconds();
            const auto issues = engine().analyze(candidate, LocalCorrectionOptions{true});
            best = std::min(best, cpuSeconds() - start);
            EXPECT_EQ(issues.size(), static_cast<std::size_t>(repeats));
        }
        return best;
    };
    const double shortLine = bestTimeFor(1000);
    const double longLine = bestTimeFor(16000);
    EXPECT_LT(longLine, shortLine * 48)
        << shortLine << " s for 8,000 Characters, " << longLine << " s for 128,000";
}

TEST(DefaultEngine, VocabularyStyleSuggestionsFollowTheOption) {
    const auto off = engine().analyze(sentence("わかりました。"), LocalCorrectionOptions{false});
    EXPECT_TRUE(off.empty());
    const auto on = engine().analyze(sentence("わかりました。"), LocalCorrectionOptions{true});
    ASSERT_EQ(on.size(), 1u);
    EXPECT_EQ(on[0].range, (TextRange{0, 6}));
    EXPECT_EQ(on[0].severity, Severity::style);
    EXPECT_EQ(applyIssue("わかりました。", on[0]), "承知しました。");
    // A style finding of any other rule stays.
    const auto other =
        engine().analyze(sentence("送りますでしょうか。"), LocalCorrectionOptions{false});
    ASSERT_EQ(other.size(), 1u);
    EXPECT_EQ(other[0].severity, Severity::style);
}

// Sentences of Debian's Japanese manual pages (the benchmark corpus) that
// earlier rules would have damaged, and near misses of the same rules: each
// must stay clean. Polite words inside other words (で|すべて, で|すら), a
// polite aside in brackets, a sentence cut inside a bracket, a verb stem
// inside a noun (行き|先), 行っ of 行う, going back along a list.
TEST(DefaultEngine, RealProseStaysClean) {
    const char* const sentences[] = {
        "(本オプションも渡されます) と、バージョン番号を表示する",
        "2 つの別々のプログラムがオープン・書き込み・読み出しを同時に行った場合でも、",
        "netlink はメッセージを行き先に届けるために最善を尽くすが、",
        "setns(2) を使って既存のユーザー名前空間に参加したりしたプロセスは、 "
        "その名前空間ですべてのケーパビリティを獲得する。",
        "このプロセスはすべての削除された子孫のユーザー名前空間ですべてのケーパビリティを持つことを"
        "意味する。",
        "を実行し、終了ステータスを返します ((PX に対応しない",
        "コマンドに +B オプションを与えてブレース展開を無効にしてください (後述する",
        "タブ文字の使い方が適切ではありません (クォートされていない",
        "ファイルシステムへの全ての参照が busy でなくなった時点ですぐに整理する。",
        "プログラム補完の機能が呼び出されます (組み込みコマンド complete については、後述する",
        "二つのホストの間ですべてのデータを転送する。",
        "場合によっては KILL (9) シグナルを使う必要があります (KILL シグナルは捕捉する",
        "変更時に、 変更後の名前空間ですべてのケーパビリティを獲得する。",
        "履歴リストを戻り、履歴リストから前の行を取り出します。",
        "行指向のバッファリングを行なっている場合ですら、賢いやり方とはいえない。",
        "find においてエラーが発生すると、 その場ですぐに終了する場合があります。",
        "伸長のためにデータを読み込んですべてのブロックを gunzip に渡すと、 gunzip は通常、",
        "コマンドに trap のかかっているシグナル名を帰す。",
        "は起動ファイルの読み込みを行った後に POSIX モードに入ります。",
        "この変数に代入を行っても現在の作業ディレクトリは変わりません。",
        "これは特定のルートまたは行き先にパケットを送信するレートを制限する。",
        "記述とファイルの最終更新時刻を用いて、 更新する必要があるファイルを見つけます。",
        "はパッチが反転していると思い、パッチを戻すかを尋ねる。",
        // The classes as short sentences of our own.
        "ここですべての設定を確認する。",
        "会議でする話を書く。",
        "荷物を行き先に届ける。",
        "彼が鍵を見つける。",
    };
    for (const char* text : sentences) {
        SCOPED_TRACE(std::string(text) + ": " +
                     testing::describe(engine().tokenizer()->tokenize(text)));
        EXPECT_TRUE(engine().analyze(sentence(text), LocalCorrectionOptions{true}).empty());
    }
}

// Every finding of the engine, applied alone, gives a whole sentence. None of
// these sentences has a vocabulary finding, so the user's setting changes
// nothing.
TEST(DefaultEngine, FindingsThroughTheRealDictionary) {
    ASSERT_NE(engine().tokenizer(), nullptr);
    const std::vector<Case> cases = {
        {"本をを読む。", {{1, 3, "をを", "を", "本を読む。"}}},
        {"送りますでしょうか。", {{2, 9, "ますでしょうか", "ますか", "送りますか。"}}},
        {"ご確認いただけますでしょうか。", {}, "an allow-listed request"},
        {"昨日ご飯を食べりました。",
         {{5, 11, "食べりました", "食べました", "昨日ご飯を食べました。"}}},
        {"ご確認させていただきます。",
         {{0, 12, "ご確認させていただきます", "確認させていただきます",
           "確認させていただきます。"}}},
        {"確認させていただきます", {}, "humble form without the respectful prefix"},
        {"先ほどはご対応、ありがとう。",
         {{4, 13, "ご対応、ありがとう", "ご対応ありがとうございます",
           "先ほどはご対応ありがとうございます。"}}},
        {"これわペンです。", {{0, 3, "これわ", "これは", "これはペンです。"}}},
        {"今日は良い天気です。", {}, "nothing to correct"},
        {"東京で住む。", {{2, 3, "で", "に", "東京に住む。"}}},
        {"会社に働く。", {{2, 3, "に", "で", "会社で働く。"}}},
        {"会議に出ますが、資料はまだ準備していない。",
         {{16, 20, "ていない", "ていません", "会議に出ますが、資料はまだ準備していません。"}}},
        {"資料はまだ準備していない。", {}},
        {"明日も会議がありますので、私も行く。",
         {{15, 17, "行く", "行きます", "明日も会議がありますので、私も行きます。"}}},
        {"行くでは困る。", {{2, 4, "では", "のでは", "行くのでは困る。"}}},
        {"会社を行く。", {{2, 3, "を", "に", "会社に行く。"}}},
        {"道を行く。", {}},
        {"会議を始まる。", {{3, 6, "始まる", "始める", "会議を始める。"}}},
        {"会議が始めます。", {{3, 5, "始め", "始まり", "会議が始まります。"}}},
        {"電気を消えました。", {{3, 5, "消え", "消し", "電気を消しました。"}}},
        {"鍵が見つける。", {{2, 6, "見つける", "見つかる", "鍵が見つかる。"}}},
        {"机を落ちる。", {}},
        {"ドアが閉めた。", {}, "another inflection of the verb"},
        {"会議には出ますが、私は行かない。", {}, "行か would have to become 行き"},
        {"会議には出ますが、時間は少ない。", {}, "ない inside the adjective"},
        {"", {}, "empty"},
        {"これわ本をを読みますでしょうか。",
         {{0, 3, "これわ", "これは", "これは本をを読みますでしょうか。"},
          {4, 6, "をを", "を", "これわ本を読みますでしょうか。"},
          {8, 15, "ますでしょうか", "ますか", "これわ本をを読みますか。"}},
         "three rules, sorted by position"},
        // Blanks the analyser drops and decomposed kana it sees in NFC: each
        // issue quotes and replaces the text as typed.
        {"本を を読む。", {{1, 4, "を を", "を", "本を読む。"}}},
        {"彼か\u3099か\u3099来た。", {{1, 3, "か\u3099か\u3099", "が", "彼が来た。"}}},
        {"行くで は困る。", {{2, 5, "で は", "のでは", "行くのでは困る。"}}},
        {"東京て\u3099住む。", {{2, 3, "て\u3099", "に", "東京に住む。"}}},
        {"会議を 始まる。", {{4, 7, "始まる", "始める", "会議を 始める。"}}},
        {"会議に出ますか\u3099、時間は暇た\u3099。",
         {{12, 13, "た\u3099", "です", "会議に出ますか\u3099、時間は暇です。"}}},
        {"こ\u3099確認させていただきます。",
         {{0, 12, "こ\u3099確認させていただきます", "確認させていただきます",
           "確認させていただきます。"}}},
        {"ちょっと待ってください。",
         {{0, 11, "ちょっと待ってください", "少々お待ちください", "少々お待ちください。"}}},
        {"ご対応、ありがとうございました。", {}, "the thanks already has its ending"},
        {"送りますて\u3099しょうか。", {{2, 9, "ますて\u3099しょうか", "ますか", "送りますか。"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text + (c.why.empty() ? "" : " (" + c.why + ")") + ": " +
                     testing::describe(engine().tokenizer()->tokenize(c.text)));
        for (const bool vocabulary : {false, true}) {
            SCOPED_TRACE(vocabulary ? "vocabulary suggestions on" : "vocabulary suggestions off");
            const auto issues =
                engine().analyze(sentence(c.text), LocalCorrectionOptions{vocabulary});
            testing::expectIssues(c.text, issues, c.expected);
            for (const auto& issue : issues)
                EXPECT_EQ(issue.sentenceId, "S");
        }
    }
}

}  // namespace
}  // namespace mivo
