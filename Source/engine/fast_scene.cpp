#include "engine/fast_scene.h"

namespace morva {

FastScene::FastScene(const Scene& s)
    : scene(s),
      highSpeed(s.settings.HighSpeed),
      hiRes(s.settings.HiRes),
      oneKind(OneKind(s)),
      affineMaps(s),
      projectiveMaps(s),
      quadraticMaps(s),
      mixedMaps(s),
      mapping(s.settings) {
    if (highSpeed) selection.emplace(s);
}

}  // namespace morva
