// Chooses the font file for watermark text with fontconfig.
//
// Common Windows Chinese face names map to installed CJK faces (宋体 and the
// other Ming/Song style names to a CJK serif face, 黑体 and the other Gothic
// style names to a CJK sans face); any other name is matched by fontconfig.
// Of the candidates fontconfig ranks, the first that covers every character
// of the text wins, so Chinese text always finds a face that can draw it.
// Stateless; safe to call from any thread.
#pragma once

#include <string>

namespace kximgproc {

struct ResolvedFont {
    std::string file;
    int index = 0;
    bool bold = false;    // the face itself is bold
    bool italic = false;  // the face itself is italic or oblique
};

// False when fontconfig offers no usable face at all.
bool ResolveFont(const std::string& name, bool bold, bool italic, const std::u32string& text,
                 ResolvedFont* font);

// True when the name selects a font of its own rather than the fallback: one
// of the Chinese face names above, a generic family ("serif", "sans-serif",
// "monospace"), or the family of an installed face (fontconfig's comparison:
// letter case and blanks do not count).
bool IsKnownFontName(const std::string& name);

}  // namespace kximgproc
