// The dialog's view of a rendering: what Prepare and the writers read.
#pragma once

#include "export/Export.h"
#include "render/Render.h"

// Measures on the rendering's surface, which keeps the rendering font
// selected; the rendering must outlive every use of the source.
TExportSource ExportSourceOf(const TRenderResult& Rendering);
