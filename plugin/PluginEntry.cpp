// The plugin's one exported function.
#include "plugin/Plugin.h"

extern "C" __attribute__((visibility("default"))) lyrebox::PluginRecord* winampGetGeneralPurposePlugin() {
    return lyrebox::Plugin::instance().record();
}
