// Makes the user's guide: lays out a guide text as an A4 PDF document with
// the system's fonts (fontconfig picks a face for every script, so Japanese
// texts render as well as Latin ones).
//
//   vextal_userguide <guide.txt> <output.pdf> [language]
//
// The guide text is UTF-8, one block a line:
//   "# "   the title of the guide
//   "## "  a section heading
//   "### " a subheading
//   "- "   an item of a list
//   other  a paragraph; empty lines only separate blocks
//
// The language (such as "en" or "ja") tells the layout which script's faces
// and line-breaking rules to prefer. Exits with 0 when the PDF was written.

#include <cairo-pdf.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace
{

// A4 in points, with its margins.
constexpr double kPageWidth = 595.0;
constexpr double kPageHeight = 842.0;
constexpr double kMargin = 56.0;
constexpr double kFooterGap = 24.0;
constexpr double kBulletIndent = 16.0;

enum class BlockKind
{
    Title,
    Heading,
    Subheading,
    Item,
    Paragraph
};

struct Block
{
    BlockKind kind;
    std::string text;
};

bool startsWith(const std::string& line, const char* prefix)
{
    return line.rfind(prefix, 0) == 0;
}

std::vector<Block> parseGuide(std::istream& in)
{
    std::vector<Block> blocks;
    std::string line;
    while (std::getline(in, line))
    {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        if (startsWith(line, "### "))
            blocks.push_back({BlockKind::Subheading, line.substr(4)});
        else if (startsWith(line, "## "))
            blocks.push_back({BlockKind::Heading, line.substr(3)});
        else if (startsWith(line, "# "))
            blocks.push_back({BlockKind::Title, line.substr(2)});
        else if (startsWith(line, "- "))
            blocks.push_back({BlockKind::Item, line.substr(2)});
        else
            blocks.push_back({BlockKind::Paragraph, line});
    }
    return blocks;
}

struct Style
{
    const char* font;
    double spaceBefore;
    double spaceAfter;
};

Style styleOf(BlockKind kind)
{
    switch (kind)
    {
    case BlockKind::Title:
        return {"Sans Bold 20", 0.0, 14.0};
    case BlockKind::Heading:
        return {"Sans Bold 14", 12.0, 5.0};
    case BlockKind::Subheading:
        return {"Sans Bold 11", 6.0, 3.0};
    case BlockKind::Item:
        return {"Sans 10", 0.0, 3.0};
    case BlockKind::Paragraph:
        return {"Sans 10", 0.0, 6.0};
    }
    return {"Sans 10", 0.0, 6.0};
}

template <typename T, void (*Free)(T*)>
struct Deleter
{
    void operator()(T* p) const { Free(p); }
};
void unrefObject(void* p)
{
    g_object_unref(p);
}
using SurfacePtr = std::unique_ptr<cairo_surface_t, Deleter<cairo_surface_t, cairo_surface_destroy>>;
using ContextPtr = std::unique_ptr<cairo_t, Deleter<cairo_t, cairo_destroy>>;
using FontPtr =
    std::unique_ptr<PangoFontDescription, Deleter<PangoFontDescription, pango_font_description_free>>;
using LayoutPtr = std::unique_ptr<PangoLayout, Deleter<void, unrefObject>>;

// Writes the blocks page by page; a block that does not fit on the rest of a
// page is broken between its lines.
class GuideWriter
{
public:
    GuideWriter(cairo_t* cr, const std::string& language)
        : m_cr(cr), m_language(pango_language_from_string(language.c_str()))
    {
    }

    void write(const std::vector<Block>& blocks)
    {
        for (const Block& block : blocks)
            writeBlock(block);
        finishPage();
    }

    int pages() const { return m_pageNumber; }

private:
    LayoutPtr makeLayout(const char* font, const std::string& text, double width)
    {
        LayoutPtr layout(pango_cairo_create_layout(m_cr));
        FontPtr description(pango_font_description_from_string(font));
        pango_layout_set_font_description(layout.get(), description.get());
        PangoContext* context = pango_layout_get_context(layout.get());
        pango_context_set_language(context, m_language);
        pango_layout_context_changed(layout.get());
        pango_layout_set_width(layout.get(), static_cast<int>(width * PANGO_SCALE));
        pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
        pango_layout_set_text(layout.get(), text.c_str(), -1);
        return layout;
    }

    void writeBlock(const Block& block)
    {
        const Style style = styleOf(block.kind);
        const double textLeft = kMargin + (block.kind == BlockKind::Item ? kBulletIndent : 0.0);
        const double textWidth = kPageWidth - kMargin - textLeft;
        LayoutPtr layout = makeLayout(style.font, block.text, textWidth);

        // A heading stays with at least its first lines of text below it.
        const bool heading = block.kind == BlockKind::Title || block.kind == BlockKind::Heading ||
                             block.kind == BlockKind::Subheading;
        if (m_y > kMargin)
            m_y += style.spaceBefore;
        if (heading && m_y + 60.0 > bottom())
            newPage();

        bool first = true;
        PangoLayoutIter* iter = pango_layout_get_iter(layout.get());
        do
        {
            PangoRectangle logical;
            pango_layout_iter_get_line_extents(iter, nullptr, &logical);
            const double lineTop = logical.y / double(PANGO_SCALE);
            const double lineHeight = logical.height / double(PANGO_SCALE);
            const double baseline = pango_layout_iter_get_baseline(iter) / double(PANGO_SCALE);
            if (m_y + lineHeight > bottom())
                newPage();
            ensurePage();
            const double y = m_y + (baseline - lineTop);
            if (first && block.kind == BlockKind::Item)
                drawBullet(kMargin + 4.0, m_y + lineHeight * 0.5);
            cairo_move_to(m_cr, textLeft, y);
            pango_cairo_show_layout_line(m_cr, pango_layout_iter_get_line_readonly(iter));
            m_y += lineHeight;
            first = false;
        } while (pango_layout_iter_next_line(iter));
        pango_layout_iter_free(iter);

        if (block.kind == BlockKind::Title || block.kind == BlockKind::Heading)
        {
            cairo_set_line_width(m_cr, block.kind == BlockKind::Title ? 1.2 : 0.6);
            cairo_move_to(m_cr, kMargin, m_y + 2.0);
            cairo_line_to(m_cr, kPageWidth - kMargin, m_y + 2.0);
            cairo_stroke(m_cr);
            m_y += 3.0;
        }
        m_y += style.spaceAfter;
    }

    void drawBullet(double x, double y)
    {
        cairo_new_path(m_cr);
        cairo_arc(m_cr, x, y, 1.8, 0.0, 6.2832);
        cairo_fill(m_cr);
    }

    double bottom() const { return kPageHeight - kMargin - kFooterGap; }

    void ensurePage()
    {
        if (m_pageOpen)
            return;
        m_pageOpen = true;
        ++m_pageNumber;
        m_y = kMargin;
        cairo_set_source_rgb(m_cr, 0.0, 0.0, 0.0);
    }

    void newPage()
    {
        finishPage();
        ensurePage();
    }

    void finishPage()
    {
        if (!m_pageOpen)
            return;
        LayoutPtr footer = makeLayout("Sans 8", std::to_string(m_pageNumber), kPageWidth - 2 * kMargin);
        pango_layout_set_alignment(footer.get(), PANGO_ALIGN_CENTER);
        cairo_move_to(m_cr, kMargin, kPageHeight - kMargin);
        pango_cairo_show_layout(m_cr, footer.get());
        cairo_show_page(m_cr);
        m_pageOpen = false;
        m_y = kMargin;
    }

    cairo_t* m_cr;
    PangoLanguage* m_language;
    double m_y = kMargin;
    bool m_pageOpen = false;
    int m_pageNumber = 0;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4)
    {
        std::cerr << "usage: " << argv[0] << " <guide.txt> <output.pdf> [language]\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in)
    {
        std::cerr << argv[0] << ": cannot read " << argv[1] << "\n";
        return 1;
    }
    const std::vector<Block> blocks = parseGuide(in);
    if (blocks.empty())
    {
        std::cerr << argv[0] << ": " << argv[1] << " holds no text\n";
        return 1;
    }

    // Written beside the target first, so a failed run leaves no partial PDF
    // under the final name.
    const std::string output = argv[2];
    const std::string partial = output + ".part";
    SurfacePtr surface(cairo_pdf_surface_create(partial.c_str(), kPageWidth, kPageHeight));
    ContextPtr cr(cairo_create(surface.get()));
    GuideWriter writer(cr.get(), argc == 4 ? argv[3] : "en");
    writer.write(blocks);
    cr.reset();
    cairo_surface_finish(surface.get());
    const cairo_status_t status = cairo_surface_status(surface.get());
    surface.reset();
    // Releases the font caches, so that a leak check at exit sees only leaks.
    pango_cairo_font_map_set_default(nullptr);
    cairo_debug_reset_static_data();
    FcFini();
    if (status != CAIRO_STATUS_SUCCESS)
    {
        std::cerr << argv[0] << ": cannot write " << output << ": " << cairo_status_to_string(status) << "\n";
        std::remove(partial.c_str());
        return 1;
    }
    if (std::rename(partial.c_str(), output.c_str()) != 0)
    {
        std::cerr << argv[0] << ": cannot write " << output << "\n";
        std::remove(partial.c_str());
        return 1;
    }
    return 0;
}
