// Draws the interface images of the application into a folder, one PNG file
// per entry of the image table, at the table's sizes and frame layouts.
//
//     vextal_imagegen <output folder>
//
// The drawings are flat and simple on purpose: rounded panels, plain glyphs
// and two or three colours per image. No text is drawn, so the output does not
// depend on the fonts installed on the build machine.

#include "src/Resource/VXImageTable.h"

#include <juce_graphics/juce_graphics.h>

#include <cmath>
#include <cstdio>
#include <functional>

namespace
{
using juce::Colour;
using juce::Graphics;
using juce::Path;
using juce::Rectangle;
using Vextal::ImageSpec;

// The palette.
const Colour kWindow(0xff302e32);
const Colour kWindowDark(0xff242226);
const Colour kPanel(0xffd9d9dc);
const Colour kPanelLight(0xfff0f0f2);
const Colour kPanelEdge(0xff8c8c92);
const Colour kGlyph(0xff303036);
const Colour kGlyphDisabled(0xffa0a0a6);
const Colour kAccent(0xff3d8fe0);
const Colour kAccentDark(0xff2a6cb0);
const Colour kGreen(0xff4cc35a);
const Colour kYellow(0xffe8c040);
const Colour kRed(0xffe04a3d);

// The state a frame of a button shows.
struct Look
{
    bool pressed = false;
    bool disabled = false;
    bool on = false;
};

using CellPainter = std::function<void(Graphics&, Rectangle<float>, int row, int column)>;

juce::Image DrawImage(const ImageSpec& spec, const CellPainter& paint)
{
    juce::Image image(juce::Image::ARGB, spec.GetWidth(), spec.GetHeight(), true);
    Graphics g(image);
    for (int row = 0; row < spec.rows; ++row)
    {
        for (int column = 0; column < spec.columns; ++column)
        {
            const Rectangle<float> cell(
                static_cast<float>(column * spec.frameWidth), static_cast<float>(row * spec.frameHeight),
                static_cast<float>(spec.frameWidth), static_cast<float>(spec.frameHeight));
            juce::Graphics::ScopedSaveState state(g);
            g.reduceClipRegion(cell.toNearestInt());
            paint(g, cell, row, column);
        }
    }
    return image;
}

// A rounded button face.
void DrawFace(Graphics& g, Rectangle<float> r, const Look& look)
{
    r = r.reduced(0.5f);
    const float corner = juce::jmin(4.0f, r.getHeight() * 0.3f);
    Colour top = look.on ? kAccent.brighter(0.3f) : kPanelLight;
    Colour bottom = look.on ? kAccent : kPanel;
    if (look.pressed)
    {
        top = top.darker(0.25f);
        bottom = bottom.darker(0.25f);
    }
    if (look.disabled)
    {
        top = top.withMultipliedSaturation(0.3f).withMultipliedAlpha(0.7f);
        bottom = bottom.withMultipliedSaturation(0.3f).withMultipliedAlpha(0.7f);
    }
    g.setGradientFill(juce::ColourGradient(top, r.getX(), r.getY(), bottom, r.getX(), r.getBottom(), false));
    g.fillRoundedRectangle(r, corner);
    g.setColour(look.disabled ? kPanelEdge.withAlpha(0.5f) : kPanelEdge);
    g.drawRoundedRectangle(r, corner, 1.0f);
}

Colour GlyphColour(const Look& look)
{
    if (look.disabled)
        return kGlyphDisabled;
    return look.on ? juce::Colours::white : kGlyph;
}

// The glyph area: a square of side s centred in r.
Rectangle<float> GlyphBox(Rectangle<float> r, float s)
{
    return Rectangle<float>(s, s).withCentre(r.getCentre());
}

Path Triangle(Rectangle<float> box, bool pointsRight)
{
    Path p;
    if (pointsRight)
        p.addTriangle(box.getX(), box.getY(), box.getX(), box.getBottom(), box.getRight(), box.getCentreY());
    else
        p.addTriangle(box.getRight(), box.getY(), box.getRight(), box.getBottom(), box.getX(),
                      box.getCentreY());
    return p;
}

// Glyphs of the list command buttons, drawn into a 14 x 14 box.
enum class Glyph
{
    None,
    Plus,
    Minus,
    Combine,
    Divide,
    Link,
    FromTo,
    MarkPlus,
    MarkMinus,
    Down,
    Light,
    Play,
    Info,
    Picture,
};

void DrawGlyph(Graphics& g, Rectangle<float> box, Glyph glyph, Colour colour)
{
    g.setColour(colour);
    const float x = box.getX();
    const float y = box.getY();
    const float w = box.getWidth();
    const float h = box.getHeight();
    const float cx = box.getCentreX();
    const float cy = box.getCentreY();
    switch (glyph)
    {
    case Glyph::None:
        break;
    case Glyph::Plus:
        g.fillRect(Rectangle<float>(w, 2.5f).withCentre(box.getCentre()));
        g.fillRect(Rectangle<float>(2.5f, h).withCentre(box.getCentre()));
        break;
    case Glyph::Minus:
        g.fillRect(Rectangle<float>(w, 2.5f).withCentre(box.getCentre()));
        break;
    case Glyph::Combine:
        g.drawRect(Rectangle<float>(x, cy - 3.0f, w * 0.42f, 6.0f), 1.5f);
        g.drawRect(Rectangle<float>(x + w * 0.58f, cy - 3.0f, w * 0.42f, 6.0f), 1.5f);
        g.fillRect(Rectangle<float>(x + w * 0.35f, cy - 0.75f, w * 0.3f, 1.5f));
        break;
    case Glyph::Divide:
        g.fillRect(Rectangle<float>(x, cy - 3.0f, w * 0.4f, 6.0f));
        g.fillRect(Rectangle<float>(x + w * 0.6f, cy - 3.0f, w * 0.4f, 6.0f));
        g.fillRect(Rectangle<float>(1.5f, h).withCentre(box.getCentre()));
        break;
    case Glyph::Link:
        g.drawRoundedRectangle(Rectangle<float>(x, cy - 3.5f, w * 0.6f, 7.0f), 3.0f, 1.5f);
        g.drawRoundedRectangle(Rectangle<float>(x + w * 0.4f, cy - 3.5f, w * 0.6f, 7.0f), 3.0f, 1.5f);
        break;
    case Glyph::FromTo:
        g.fillRect(Rectangle<float>(x, y, 1.5f, h));
        g.fillPath(Triangle(Rectangle<float>(x + 3.0f, y + 2.0f, w - 6.0f, h - 4.0f), true));
        g.fillRect(Rectangle<float>(x + w - 1.5f, y, 1.5f, h));
        break;
    case Glyph::MarkPlus:
    case Glyph::MarkMinus:
        g.fillRect(Rectangle<float>(x + 1.0f, y, 1.5f, h));
        g.fillPath(Triangle(Rectangle<float>(x + 2.5f, y, 5.0f, 6.0f), true));
        g.fillRect(Rectangle<float>(x + w * 0.5f, cy + 1.0f, w * 0.5f, 2.0f));
        if (glyph == Glyph::MarkPlus)
            g.fillRect(Rectangle<float>(x + w * 0.75f - 1.0f, cy - 2.0f, 2.0f, 8.0f));
        break;
    case Glyph::Down:
    {
        Path arrow;
        arrow.addTriangle(x + 2.0f, y + 4.0f, x + w - 2.0f, y + 4.0f, cx, y + h - 3.0f);
        g.fillPath(arrow);
        break;
    }
    case Glyph::Light:
        g.fillEllipse(GlyphBox(box, w * 0.6f));
        break;
    case Glyph::Play:
        g.fillPath(Triangle(GlyphBox(box, w * 0.7f), true));
        break;
    case Glyph::Info:
        g.fillRect(Rectangle<float>(2.0f, h * 0.55f).withCentre({cx, cy + h * 0.15f}));
        g.fillEllipse(Rectangle<float>(2.5f, 2.5f).withCentre({cx, y + 2.0f}));
        break;
    case Glyph::Picture:
    {
        g.drawRect(box, 1.5f);
        Path mountain;
        mountain.addTriangle(x + 2.0f, y + h - 2.0f, x + w * 0.45f, y + h * 0.4f, x + w - 2.0f, y + h - 2.0f);
        g.fillPath(mountain);
        break;
    }
    }
}

// A three-frame list command button: 0 normal, 1 disabled, 2 pressed.
juce::Image CommandButton(const ImageSpec& spec, Glyph glyph)
{
    return DrawImage(spec,
                     [glyph](Graphics& g, Rectangle<float> r, int row, int)
                     {
                         Look look;
                         look.disabled = row == 1;
                         look.pressed = row == 2;
                         DrawFace(g, r, look);
                         DrawGlyph(g, GlyphBox(r, juce::jmin(14.0f, r.getHeight() - 6.0f)), glyph,
                                   GlyphColour(look));
                     });
}

// A small three-frame button: 0 normal, 1 mouse over (or pressed), 2 pressed.
juce::Image SmallButton(const ImageSpec& spec, Glyph glyph)
{
    return DrawImage(spec,
                     [glyph](Graphics& g, Rectangle<float> r, int row, int)
                     {
                         Look look;
                         look.pressed = row == 2;
                         look.on = row == 1;
                         DrawFace(g, r, look);
                         DrawGlyph(g, r.reduced(r.getWidth() * 0.25f), glyph, GlyphColour(look));
                     });
}

// The curve of a fade toggle: fade type 0 none, 1 linear, 2 squared, 3 mixed.
juce::Image FadeToggle(const ImageSpec& spec, bool fadeIn)
{
    return DrawImage(spec,
                     [fadeIn](Graphics& g, Rectangle<float> r, int row, int)
                     {
                         Look look;
                         look.on = row == 1 || row == 2;
                         DrawFace(g, r, look);
                         const Rectangle<float> box = r.reduced(4.0f);
                         auto level = [&](float t) // 0..1 along the fade
                         {
                             const float u = fadeIn ? t : 1.0f - t;
                             switch (row)
                             {
                             case 1:
                             case 3:
                                 return u;
                             case 2:
                                 return u * u;
                             default:
                                 return 1.0f;
                             }
                         };
                         Path curve;
                         for (int i = 0; i <= 12; ++i)
                         {
                             const float t = static_cast<float>(i) / 12.0f;
                             const float px = box.getX() + t * box.getWidth();
                             const float py = box.getBottom() - level(t) * box.getHeight();
                             if (i == 0)
                                 curve.startNewSubPath(px, py);
                             else
                                 curve.lineTo(px, py);
                         }
                         Colour colour = GlyphColour(look);
                         if (row == 3)
                         {
                             // Mixed: the songs differ; a dashed line.
                             const float dashes[] = {2.0f, 2.0f};
                             Path dashed;
                             juce::PathStrokeType(1.5f).createDashedStroke(dashed, curve, dashes, 2);
                             g.setColour(colour);
                             g.fillPath(dashed);
                             return;
                         }
                         g.setColour(colour);
                         g.strokePath(curve, juce::PathStrokeType(1.5f));
                     });
}

// A round transport button: 0 off, 1 on, 2 off pressed, 3 on pressed, 4 disabled.
juce::Image TransportButton(const ImageSpec& spec, int kind /* 0 rewind, 1 play, 2 fast forward */)
{
    return DrawImage(spec,
                     [kind](Graphics& g, Rectangle<float> r, int row, int)
                     {
                         Look look;
                         look.on = row == 1 || row == 3;
                         look.pressed = row == 2 || row == 3;
                         look.disabled = row == 4;
                         const Rectangle<float> disc = r.reduced(1.0f);
                         Colour top = look.on ? kAccent.brighter(0.3f) : kPanelLight;
                         Colour bottom = look.on ? kAccentDark : kPanel.darker(0.1f);
                         if (look.pressed)
                         {
                             top = top.darker(0.25f);
                             bottom = bottom.darker(0.25f);
                         }
                         if (look.disabled)
                         {
                             top = top.withMultipliedAlpha(0.6f);
                             bottom = bottom.withMultipliedAlpha(0.6f);
                         }
                         g.setGradientFill(juce::ColourGradient(top, disc.getX(), disc.getY(), bottom,
                                                                disc.getX(), disc.getBottom(), false));
                         g.fillEllipse(disc);
                         g.setColour(kPanelEdge);
                         g.drawEllipse(disc, 1.0f);
                         g.setColour(GlyphColour(look));
                         const float s = r.getWidth() * 0.36f;
                         const Rectangle<float> box = GlyphBox(r, s);
                         if (kind == 1)
                         {
                             g.fillPath(Triangle(box.translated(s * 0.1f, 0.0f), true));
                             return;
                         }
                         const bool right = kind == 2;
                         const Rectangle<float> left = box.withWidth(s * 0.55f);
                         const Rectangle<float> other = left.withX(box.getRight() - s * 0.55f);
                         g.fillPath(Triangle(left, right));
                         g.fillPath(Triangle(other, right));
                     });
}

// A two-frame wide button of the main window: 0 normal and disabled, 1 pressed.
juce::Image WideButton(const ImageSpec& spec, bool burn)
{
    return DrawImage(
        spec,
        [burn](Graphics& g, Rectangle<float> r, int row, int)
        {
            Look look;
            look.pressed = row == 1;
            DrawFace(g, r, look);
            const Rectangle<float> box = GlyphBox(r, 14.0f);
            g.setColour(GlyphColour(look));
            if (burn)
            {
                g.drawEllipse(box, 1.5f);
                g.fillEllipse(Rectangle<float>(4.0f, 4.0f).withCentre(box.getCentre()));
                return;
            }
            // A tray with an arrow leaving it.
            g.fillRect(Rectangle<float>(box.getX(), box.getBottom() - 2.0f, box.getWidth(), 2.0f));
            g.fillRect(Rectangle<float>(box.getX(), box.getCentreY(), 2.0f, box.getHeight() * 0.5f));
            g.fillRect(
                Rectangle<float>(box.getRight() - 2.0f, box.getCentreY(), 2.0f, box.getHeight() * 0.5f));
            g.fillRect(Rectangle<float>(2.0f, box.getHeight() * 0.6f)
                           .withCentre({box.getCentreX(), box.getCentreY() - 1.0f}));
            Path head;
            head.addTriangle(box.getCentreX() - 4.0f, box.getY() + 4.0f, box.getCentreX() + 4.0f,
                             box.getY() + 4.0f, box.getCentreX(), box.getY() - 1.0f);
            g.fillPath(head);
        });
}

// The repeat (2 columns) and play-mode (3 columns) buttons; rows: normal,
// pressed, disabled.
juce::Image MatrixButton(const ImageSpec& spec, bool playMode)
{
    return DrawImage(
        spec,
        [playMode](Graphics& g, Rectangle<float> r, int row, int column)
        {
            Look look;
            look.pressed = row == 1;
            look.disabled = row == 2;
            look.on = !playMode && column == 1;
            DrawFace(g, r, look);
            const Colour colour = GlyphColour(look);
            g.setColour(colour);
            const Rectangle<float> box = GlyphBox(r, 14.0f);
            if (!playMode)
            {
                // A loop with an arrow head.
                Path loop;
                loop.addCentredArc(box.getCentreX(), box.getCentreY(), 6.0f, 5.0f, 0.0f, 0.4f,
                                   juce::MathConstants<float>::twoPi - 0.2f, true);
                g.strokePath(loop, juce::PathStrokeType(1.5f));
                Path head;
                head.addTriangle(box.getCentreX() + 1.0f, box.getY() - 1.0f, box.getCentreX() + 1.0f,
                                 box.getY() + 5.0f, box.getCentreX() + 5.0f, box.getY() + 2.0f);
                g.fillPath(head);
                return;
            }
            switch (column)
            {
            case 0: // one song: an arrow to a bar
                g.fillPath(Triangle(box.reduced(3.0f).translated(-2.0f, 0.0f), true));
                g.fillRect(
                    Rectangle<float>(box.getRight() - 3.0f, box.getY() + 2.0f, 2.0f, box.getHeight() - 4.0f));
                break;
            case 1: // all in order: three lines
                for (int i = 0; i < 3; ++i)
                    g.fillRect(Rectangle<float>(box.getX(), box.getY() + 2.0f + static_cast<float>(i) * 4.5f,
                                                box.getWidth(), 2.0f));
                break;
            default: // shuffle: two crossing lines
            {
                Path cross;
                cross.startNewSubPath(box.getX(), box.getY() + 3.0f);
                cross.lineTo(box.getRight(), box.getBottom() - 3.0f);
                cross.startNewSubPath(box.getX(), box.getBottom() - 3.0f);
                cross.lineTo(box.getRight(), box.getY() + 3.0f);
                g.strokePath(cross, juce::PathStrokeType(1.8f));
                break;
            }
            }
        });
}

// The colour of level meter segment i (top first).
Colour SegmentColour(int i)
{
    if (i < 2)
        return kRed;
    if (i < 8)
        return kYellow;
    return kGreen;
}

// A level meter bar with every segment lit or unlit.
juce::Image MeterBar(const ImageSpec& spec, bool lit)
{
    return DrawImage(spec,
                     [lit](Graphics& g, Rectangle<float> r, int, int)
                     {
                         g.setColour(kWindowDark);
                         g.fillRect(r);
                         const float bottom = r.getBottom();
                         for (int i = 0; i + 1 < Vextal::kLevelMeterSegmentCount; ++i)
                         {
                             const float top = static_cast<float>(Vextal::kLevelMeterSegmentTops[i]);
                             const float low = static_cast<float>(Vextal::kLevelMeterSegmentTops[i + 1]);
                             if (top <= low)
                                 continue;
                             const Rectangle<float> segment(r.getX() + 2.0f, bottom - top + 1.0f,
                                                            r.getWidth() - 4.0f, top - low - 2.0f);
                             const Colour colour = SegmentColour(i);
                             g.setColour(lit ? colour : colour.withMultipliedBrightness(0.25f));
                             g.fillRect(segment);
                         }
                     });
}

// The scale between the meter bars: a tick at every segment edge, longer ones
// at 0, -6, -12, -24 and -48 dB.
juce::Image MeterScale(const ImageSpec& spec)
{
    return DrawImage(
        spec,
        [](Graphics& g, Rectangle<float> r, int, int)
        {
            g.setColour(kPanel);
            const float bottom = r.getBottom();
            for (int i = 0; i < Vextal::kLevelMeterSegmentCount; ++i)
            {
                const int top = Vextal::kLevelMeterSegmentTops[i];
                if (i > 0 && top == Vextal::kLevelMeterSegmentTops[i - 1])
                    continue;
                const bool major = i == 0 || i == 3 || i == 7 || i == 11 || i == 19;
                const float length = major ? r.getWidth() - 4.0f : r.getWidth() * 0.4f;
                const float y = juce::jlimit(r.getY(), bottom - 1.0f, bottom - static_cast<float>(top));
                g.fillRect(Rectangle<float>(length, 1.0f).withCentre({r.getCentreX(), y + 0.5f}));
            }
        });
}

// The clip light: 0 off, 1 on, 2 off pressed, 3 on pressed (rows beyond 1
// repeat the on/off look, darker).
juce::Image ClipLight(const ImageSpec& spec)
{
    return DrawImage(spec,
                     [](Graphics& g, Rectangle<float> r, int row, int)
                     {
                         const bool on = row % 2 == 1;
                         Colour colour = on ? kRed : kRed.withMultipliedBrightness(0.3f);
                         if (row >= 2)
                             colour = colour.darker(0.3f);
                         g.setColour(colour);
                         g.fillRoundedRectangle(r.reduced(1.0f), 3.0f);
                         g.setColour(kWindowDark);
                         g.drawRoundedRectangle(r.reduced(1.0f), 3.0f, 1.0f);
                     });
}

// A vertical gradient over the whole image.
juce::Image Gradient(const ImageSpec& spec, Colour top, Colour bottom)
{
    return DrawImage(spec,
                     [top, bottom](Graphics& g, Rectangle<float> r, int, int)
                     {
                         g.setGradientFill(juce::ColourGradient(top, r.getX(), r.getY(), bottom, r.getX(),
                                                                r.getBottom(), false));
                         g.fillRect(r);
                     });
}

juce::Image Flat(const ImageSpec& spec, Colour colour)
{
    return DrawImage(spec,
                     [colour](Graphics& g, Rectangle<float> r, int, int)
                     {
                         g.setColour(colour);
                         g.fillRect(r);
                     });
}

// The upper background of the main window: the player panel's face.
juce::Image BackgroundTop(const ImageSpec& spec)
{
    return DrawImage(spec,
                     [](Graphics& g, Rectangle<float> r, int, int)
                     {
                         g.setColour(kWindow);
                         g.fillRect(r);
                         const Rectangle<float> panel(8.0f, 8.0f, r.getWidth() - 16.0f, 86.0f);
                         g.setGradientFill(juce::ColourGradient(kWindow.brighter(0.25f), 0.0f, panel.getY(),
                                                                kWindow.brighter(0.05f), 0.0f,
                                                                panel.getBottom(), false));
                         g.fillRoundedRectangle(panel, 6.0f);
                         // The display window behind the song name and times.
                         g.setColour(kWindowDark);
                         g.fillRoundedRectangle(Rectangle<float>(116.0f, 20.0f, 480.0f, 45.0f), 4.0f);
                     });
}

// The song list panel's top: the command strip, the list's frame and the
// control strip at the right.
juce::Image ListTop(const ImageSpec& spec)
{
    return DrawImage(spec,
                     [](Graphics& g, Rectangle<float> r, int, int)
                     {
                         g.setColour(kPanel);
                         g.fillRect(r);
                         g.setColour(kPanelLight);
                         g.fillRect(Rectangle<float>(11.0f, 36.0f, 386.0f, r.getHeight() - 36.0f));
                         g.setColour(kPanelEdge);
                         g.drawRoundedRectangle(Rectangle<float>(404.0f, 40.0f, 130.0f, 106.0f), 4.0f, 1.0f);
                         // The fields of the gain, balance and fade values.
                         g.setColour(juce::Colours::white);
                         g.fillRoundedRectangle(Rectangle<float>(464.0f, 49.0f, 68.0f, 19.0f), 3.0f);
                         g.fillRoundedRectangle(Rectangle<float>(464.0f, 75.0f, 68.0f, 18.0f), 3.0f);
                         g.fillRoundedRectangle(Rectangle<float>(486.0f, 100.0f, 46.0f, 19.0f), 3.0f);
                         g.fillRoundedRectangle(Rectangle<float>(486.0f, 125.0f, 46.0f, 19.0f), 3.0f);
                     });
}

// One row of the song list panel, tiled down its height.
juce::Image ListRow(const ImageSpec& spec)
{
    return DrawImage(spec,
                     [](Graphics& g, Rectangle<float> r, int, int)
                     {
                         g.setColour(kPanel);
                         g.fillRect(r);
                         g.setColour(kPanelLight);
                         g.fillRect(Rectangle<float>(11.0f, r.getY(), 386.0f, r.getHeight()));
                     });
}

juce::Image ListBottom(const ImageSpec& spec)
{
    return DrawImage(spec,
                     [](Graphics& g, Rectangle<float> r, int, int)
                     {
                         g.setColour(kPanel);
                         g.fillRect(r);
                         g.setColour(kPanelEdge);
                         g.fillRect(Rectangle<float>(0.0f, r.getBottom() - 1.0f, r.getWidth(), 1.0f));
                     });
}

// The logo: a "V" over a short wave.
Path LogoPath(Rectangle<float> box)
{
    Path p;
    const float x = box.getX();
    const float y = box.getY();
    const float w = box.getWidth();
    const float h = box.getHeight();
    p.startNewSubPath(x, y);
    p.lineTo(x + w * 0.22f, y);
    p.lineTo(x + w * 0.5f, y + h * 0.72f);
    p.lineTo(x + w * 0.78f, y);
    p.lineTo(x + w, y);
    p.lineTo(x + w * 0.6f, y + h);
    p.lineTo(x + w * 0.4f, y + h);
    p.closeSubPath();
    return p;
}

Path WavePath(Rectangle<float> box, float cycles)
{
    Path p;
    const int steps = 64;
    for (int i = 0; i <= steps; ++i)
    {
        const float t = static_cast<float>(i) / steps;
        const float px = box.getX() + t * box.getWidth();
        const float py = box.getCentreY() - std::sin(t * cycles * juce::MathConstants<float>::twoPi) *
                                                box.getHeight() * 0.5f * (1.0f - t * 0.6f);
        if (i == 0)
            p.startNewSubPath(px, py);
        else
            p.lineTo(px, py);
    }
    return p;
}

juce::Image Logo(const ImageSpec& spec)
{
    return DrawImage(
        spec,
        [](Graphics& g, Rectangle<float> r, int, int)
        {
            g.setColour(kAccent);
            g.fillPath(LogoPath(Rectangle<float>(r.getX() + 2.0f, r.getY() + 3.0f, 26.0f, 26.0f)));
            g.setColour(kPanelLight);
            g.strokePath(WavePath(Rectangle<float>(r.getX() + 32.0f, r.getY() + 8.0f, 38.0f, 16.0f), 2.5f),
                         juce::PathStrokeType(1.5f));
        });
}

juce::Image About(const ImageSpec& spec)
{
    return DrawImage(spec,
                     [](Graphics& g, Rectangle<float> r, int, int)
                     {
                         g.setGradientFill(juce::ColourGradient(kAccentDark.darker(0.4f), r.getX(), r.getY(),
                                                                kWindowDark, r.getX(), r.getBottom(), false));
                         g.fillRect(r);
                         g.setColour(kAccent.withAlpha(0.35f));
                         g.strokePath(WavePath(Rectangle<float>(0.0f, 60.0f, r.getWidth(), 90.0f), 5.0f),
                                      juce::PathStrokeType(2.0f));
                         g.setColour(juce::Colours::white);
                         g.fillPath(LogoPath(Rectangle<float>(150.0f, 40.0f, 100.0f, 100.0f)));
                     });
}

// The placeholder of a song without a picture: a framed landscape.
juce::Image NoPicture(const ImageSpec& spec)
{
    return DrawImage(
        spec,
        [](Graphics& g, Rectangle<float> r, int, int)
        {
            const Rectangle<float> frame = r.reduced(8.0f);
            g.setColour(kPanel);
            g.fillRoundedRectangle(frame, 10.0f);
            g.setColour(kPanelEdge);
            g.drawRoundedRectangle(frame, 10.0f, 2.0f);
            Path hills;
            hills.startNewSubPath(frame.getX() + 14.0f, frame.getBottom() - 20.0f);
            hills.lineTo(frame.getX() + 44.0f, frame.getY() + 48.0f);
            hills.lineTo(frame.getX() + 64.0f, frame.getY() + 68.0f);
            hills.lineTo(frame.getX() + 78.0f, frame.getY() + 56.0f);
            hills.lineTo(frame.getRight() - 14.0f, frame.getBottom() - 20.0f);
            hills.closeSubPath();
            g.fillPath(hills);
            g.fillEllipse(
                Rectangle<float>(16.0f, 16.0f).withCentre({frame.getRight() - 30.0f, frame.getY() + 30.0f}));
        });
}

// A small speaker: row 0 silent (paused or stopped), row 1 with sound waves.
juce::Image Speaker(const ImageSpec& spec, Colour colour)
{
    return DrawImage(spec,
                     [colour](Graphics& g, Rectangle<float> r, int row, int)
                     {
                         g.setColour(row == 0 ? kGlyphDisabled.darker(0.3f) : colour);
                         Path body;
                         const float x = r.getX() + 1.0f;
                         const float cy = r.getCentreY();
                         body.startNewSubPath(x, cy - 2.0f);
                         body.lineTo(x + 3.0f, cy - 2.0f);
                         body.lineTo(x + 6.0f, cy - 5.0f);
                         body.lineTo(x + 6.0f, cy + 5.0f);
                         body.lineTo(x + 3.0f, cy + 2.0f);
                         body.lineTo(x, cy + 2.0f);
                         body.closeSubPath();
                         g.fillPath(body);
                         if (row == 1)
                         {
                             Path waves;
                             waves.addCentredArc(x + 6.0f, cy, 2.5f, 2.5f, 0.0f, 0.6f, 2.5f, true);
                             waves.addCentredArc(x + 6.0f, cy, 4.5f, 4.5f, 0.0f, 0.6f, 2.5f, true);
                             g.strokePath(waves, juce::PathStrokeType(1.0f));
                         }
                     });
}

// A spinner of eight dots; each frame moves the bright dot on.
juce::Image Spinner(const ImageSpec& spec)
{
    return DrawImage(
        spec,
        [rows = spec.rows](Graphics& g, Rectangle<float> r, int row, int)
        {
            const int dots = 8;
            const float radius = r.getWidth() * 0.36f;
            for (int i = 0; i < dots; ++i)
            {
                const float angle = juce::MathConstants<float>::twoPi * static_cast<float>(i) / dots;
                const auto centre =
                    r.getCentre() + juce::Point<float>(std::sin(angle) * radius, -std::cos(angle) * radius);
                const int lead = (row * dots) / rows;
                const int age = (lead - i + dots) % dots;
                g.setColour(kAccent.withAlpha(1.0f - 0.11f * static_cast<float>(age)));
                g.fillEllipse(Rectangle<float>(2.4f, 2.4f).withCentre(centre));
            }
        });
}

// The time bar's strip and ends: rows unplayed, played, disabled.
Colour BarColour(int row)
{
    switch (row)
    {
    case 0:
        return kWindowDark.brighter(0.3f);
    case 1:
        return kAccent;
    default:
        return kGlyphDisabled.darker(0.4f);
    }
}

juce::Image BarStrip(const ImageSpec& spec)
{
    return DrawImage(spec,
                     [](Graphics& g, Rectangle<float> r, int row, int)
                     {
                         g.setColour(BarColour(row));
                         g.fillRect(r.withTrimmedTop(1.0f).withTrimmedBottom(1.0f));
                     });
}

// An end of the bar, rounded on its outer side; the right end's second row
// is the disabled look (rows 0, 1 and 2 map to unplayed, played, disabled;
// the left end has the first two).
juce::Image BarEnd(const ImageSpec& spec, bool left)
{
    return DrawImage(spec,
                     [left](Graphics& g, Rectangle<float> r, int row, int)
                     {
                         const Rectangle<float> body = r.withTrimmedTop(1.0f).withTrimmedBottom(1.0f);
                         g.setColour(BarColour(row));
                         Path p;
                         p.addRoundedRectangle(body.getX(), body.getY(), body.getWidth(), body.getHeight(),
                                               3.0f, 3.0f, left, !left, left, !left);
                         g.fillPath(p);
                     });
}

// The bar's pointer, frames like a transport button's.
juce::Image Pointer(const ImageSpec& spec)
{
    return DrawImage(spec,
                     [](Graphics& g, Rectangle<float> r, int row, int)
                     {
                         Colour colour = row == 4 ? kGlyphDisabled : kPanelLight;
                         if (row == 1 || row == 3)
                             colour = juce::Colours::white;
                         if (row == 2 || row == 3)
                             colour = colour.darker(0.2f);
                         const Rectangle<float> knob = r.reduced(1.0f, 1.5f);
                         Path p;
                         p.addRoundedRectangle(knob.withTrimmedBottom(4.0f), 2.0f);
                         p.addTriangle(knob.getX(), knob.getBottom() - 4.5f, knob.getRight(),
                                       knob.getBottom() - 4.5f, knob.getCentreX(), knob.getBottom());
                         g.setColour(colour);
                         g.fillPath(p);
                         g.setColour(kWindowDark);
                         g.strokePath(p, juce::PathStrokeType(1.0f));
                     });
}

// A plain panel for images no view draws at present.
juce::Image Plain(const ImageSpec& spec, Glyph glyph)
{
    return DrawImage(spec,
                     [glyph](Graphics& g, Rectangle<float> r, int row, int)
                     {
                         Look look;
                         look.pressed = row == 1;
                         look.disabled = row == 2;
                         DrawFace(g, r, look);
                         const float side = juce::jmin(r.getWidth(), r.getHeight()) * 0.6f;
                         DrawGlyph(g, GlyphBox(r, side), glyph, GlyphColour(look));
                     });
}

juce::Image Draw(int index)
{
    using namespace Vextal;
    const ImageSpec& spec = kImageTable[index];
    switch (index)
    {
    case kImageButtonAdd:
        return CommandButton(spec, Glyph::Plus);
    case kImageButtonRemove:
        return CommandButton(spec, Glyph::Minus);
    case kImageButtonCombine:
        return CommandButton(spec, Glyph::Combine);
    case kImageButtonDivide:
    case kImageButtonDivideForVX:
        return CommandButton(spec, Glyph::Divide);
    case kImageButtonChLink:
        return CommandButton(spec, Glyph::Link);
    case kImageButtonFromTo:
        return CommandButton(spec, Glyph::FromTo);
    case kImageButtonAddMark:
        return CommandButton(spec, Glyph::MarkPlus);
    case kImageButtonRemoveMark:
        return CommandButton(spec, Glyph::MarkMinus);
    case kImageButtonGenericDown:
        return CommandButton(spec, Glyph::Down);
    case kImageButtonGenericLight:
        return CommandButton(spec, Glyph::Light);
    case kImageButtonFadeIn:
        return FadeToggle(spec, true);
    case kImageButtonFadeOut:
        return FadeToggle(spec, false);
    case kImageButtonRemovePicture:
        return SmallButton(spec, Glyph::Minus);
    case kImageInfoPageButtonPlay:
        return SmallButton(spec, Glyph::Play);
    case kImageInfoPageButtonInfo:
        return SmallButton(spec, Glyph::Info);
    case kImageInfoPageButtonPicture:
        return SmallButton(spec, Glyph::Picture);
    case kImageButtonRew:
    case kImageButtonTransport:
        return TransportButton(spec, 0);
    case kImageButtonPlay:
        return TransportButton(spec, 1);
    case kImageButtonFF:
        return TransportButton(spec, 2);
    case kImageButtonExport:
    case kImageButtonExportFront:
        return WideButton(spec, false);
    case kImageButtonBurnCD:
    case kImageButtonBurnDiscFront:
        return WideButton(spec, true);
    case kImageButtonRepeat:
        return MatrixButton(spec, false);
    case kImageButtonPlayMode:
        return MatrixButton(spec, true);
    case kImageLevelMeterAllOn:
    case kImageLevelMeterLeftFull:
    case kImageLevelMeterRightFull:
        return MeterBar(spec, true);
    case kImageLevelMeterAllOff:
    case kImageLevelMeterLeftZero:
    case kImageLevelMeterRightZero:
        return MeterBar(spec, false);
    case kImageLevelMeterLevel:
        return MeterScale(spec);
    case kImageButtonClip:
    case kImageLevelMeterClip:
        return ClipLight(spec);
    case kImageBackGroundTop:
        return BackgroundTop(spec);
    case kImageBackGroundCont:
    case kImageWindowBackGround:
        return Flat(spec, kWindow);
    case kImageBackGroundBottom:
        return Gradient(spec, kWindow, kWindowDark);
    case kImageLayerTransportBack:
    case kImageLayerRightBack:
    case kImageLayerInfoBack:
        return Gradient(spec, kWindow.brighter(0.2f), kWindow);
    case kImageLayerListBackTop:
        return ListTop(spec);
    case kImageLayerListBack:
        return ListRow(spec);
    case kImageLayerListBackBottom:
        return ListBottom(spec);
    case kImageLayerListNumberBox:
    case kImageInfoPageButtonBackground:
    case kImageIconInfoBackGround:
        return Plain(spec, Glyph::None);
    case kImagePlayerVextalLogo:
        return Logo(spec);
    case kImageVextalAbout:
        return About(spec);
    case kImageNoPicture:
        return NoPicture(spec);
    case kImageTinySpeaker:
        return Speaker(spec, kAccentDark);
    case kImageTinySpeakerInfo:
        return Speaker(spec, kGlyph);
    case kImageConvertingAnimation:
        return Spinner(spec);
    case kImageTimeBar:
    case kImageTimeSliderBar:
        return BarStrip(spec);
    case kImageTimeBarPoint:
    case kImageTimeSliderPoint:
        return Pointer(spec);
    case kImageTimeBarLeft:
        return BarEnd(spec, true);
    case kImageTimeBarRight:
        return BarEnd(spec, false);
    case kImageMarkOnTimeSlider:
        return Flat(spec, kYellow);
    case kImageJogWheel:
    case kImageJogWheelDisable:
    case kImageMarkerWindowClosed:
    case kImageMarkerWindowOpened:
        return Plain(spec, Glyph::Light);
    default:
        return Plain(spec, Glyph::None);
    }
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s <output folder>\n", argc > 0 ? argv[0] : "vextal_imagegen");
        return 2;
    }
    const juce::File folder =
        juce::File::getCurrentWorkingDirectory().getChildFile(juce::String::fromUTF8(argv[1]));
    if (!folder.createDirectory())
    {
        std::fprintf(stderr, "cannot create %s\n", folder.getFullPathName().toRawUTF8());
        return 1;
    }
    juce::PNGImageFormat png;
    for (int i = 0; i < Vextal::kImageCount; ++i)
    {
        const Vextal::ImageSpec& spec = Vextal::kImageTable[i];
        const juce::Image image = Draw(i);
        const juce::File file = folder.getChildFile(juce::String(spec.name) + "." + Vextal::kImageType);
        // Written beside the target and renamed over it, so a failed run never
        // leaves a truncated image behind.
        juce::TemporaryFile temporary(file);
        bool written = false;
        {
            juce::FileOutputStream out(temporary.getFile());
            written = out.openedOk() && png.writeImageToStream(image, out);
            out.flush();
            written = written && !out.getStatus().failed();
        }
        if (!written || !temporary.overwriteTargetFileWithTemporary())
        {
            std::fprintf(stderr, "cannot write %s\n", file.getFullPathName().toRawUTF8());
            return 1;
        }
    }
    // Drawing created the framework's font cache; release it before exit.
    juce::DeletedAtShutdown::deleteAll();
    return 0;
}
