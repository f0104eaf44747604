// What went wrong in the last X-file load on this thread, for tools that explain failures.
#pragma once

namespace glomp {

// A short message ("line 12: bad number '1.2.3'", "cannot open file"), or an empty string
// when the last D3DXLoadMeshFromX / D3DXLoadMeshHierarchyFromX call on this thread succeeded.
const char* XFileLastError();

}  // namespace glomp
