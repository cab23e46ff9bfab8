#pragma once
// How long typing must pause before the live marks and the 3D preview look
// at the text again. Header only: the preview uses it without linking the
// editor's widgets.
namespace editor {
inline constexpr int TypingPauseMs = 500;
} // namespace editor
