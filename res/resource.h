// Resource ids shared by the resource script and the code.
#pragma once

// ---- Capture ----


// ---- Options tree ----


// ---- Configuration dialog ----


