// edictor_app.h - Edictor's program-wide names: the caption of its own message boxes, the
// frame's window class and the single-instance claim. A dialog that needs one includes
// this, not the view or the frame.
#pragma once

namespace edictor {

// The caption of the program's own message boxes, and the frame's title.
inline constexpr const char* kProgramTitle = "Tarnwall Edictor";
// The class of Edictor's main frame: a recorded editor window must have one as its root.
inline constexpr const char* kFrameClass = "TarnwallEdictorFrame";
// The name of the claim that makes this process the one running editor (winui::InstanceClaim).
inline constexpr const char* kInstanceMutexName = "PFW_EdictorInstance";
// The caption of the view's rename refusals.
inline constexpr const char* kRenameCaption = "Tarnwall";

}  // namespace edictor
