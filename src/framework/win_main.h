// The framework's program run: InitInstance of the application object, then its message
// loop when InitInstance asks for one.
#pragma once

namespace kivo {

int RunApplication();

}  // namespace kivo
