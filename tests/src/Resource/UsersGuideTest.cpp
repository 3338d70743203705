// The user's guides that the build lays out into the resource folder beside
// the program: real PDF documents of several pages whose text, read back with
// pdftotext, is the guide in its language.

#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

#include <vector>

namespace
{

struct GuideCase
{
    const char* fileName;
    std::vector<const char*> words;
};

juce::File ResourceFolder()
{
    return juce::File::getSpecialLocation(juce::File::currentExecutableFile).getSiblingFile("Resources");
}

// The text of a PDF file, pages separated by form feeds; empty when pdftotext
// fails.
juce::String PdfText(const juce::File& pdf)
{
    juce::ChildProcess process;
    if (!process.start(juce::StringArray{"pdftotext", "-enc", "UTF-8", pdf.getFullPathName(), "-"}))
        return {};
    const juce::String text = juce::String::fromUTF8(process.readAllProcessOutput().toRawUTF8());
    return process.getExitCode() == 0 ? text : juce::String();
}

TEST(UsersGuideTest, BothGuidesArePdfDocumentsWithTheirLanguagesText)
{
    const GuideCase cases[] = {
        {"Users Guide.pdf",
         {"Vextal User's Guide", "Songlist", "Burn Audio CD", "Export", "Preferences", "Keyboard shortcuts",
          "Ctrl+Z"}},
        {"Users Guide(J).pdf",
         {"ユーザーズガイド", "ソングリスト", "オーディオCDを作成", "書き出し", "環境設定", "取り消し",
          "キーボードショートカット"}},
    };
    for (const GuideCase& guide : cases)
    {
        SCOPED_TRACE(guide.fileName);
        const juce::File pdf = ResourceFolder().getChildFile(guide.fileName);
        ASSERT_TRUE(pdf.existsAsFile());
        EXPECT_GT(pdf.getSize(), 10000);

        juce::MemoryBlock head;
        {
            juce::FileInputStream in(pdf);
            ASSERT_TRUE(in.openedOk());
            in.readIntoMemoryBlock(head, 5);
        }
        EXPECT_EQ(head.toString(), "%PDF-");

        const juce::String text = PdfText(pdf);
        ASSERT_TRUE(text.isNotEmpty()) << "pdftotext (poppler-utils) could not read the guide";
        // pdftotext ends every page with a form feed.
        int pages = 0;
        for (auto c = text.getCharPointer(); !c.isEmpty(); ++c)
            pages += *c == '\f' ? 1 : 0;
        EXPECT_GT(pages, 1);

        // A wrapped line may split a phrase: English words join with a
        // space, Japanese ones with nothing.
        const juce::String spaced = text.replace("\n", " ");
        const juce::String joined = text.replace("\n", "");
        for (const char* word : guide.words)
        {
            const juce::String expected = juce::String::fromUTF8(word);
            EXPECT_TRUE(spaced.contains(expected) || joined.contains(expected)) << word;
        }
    }
}

} // namespace
