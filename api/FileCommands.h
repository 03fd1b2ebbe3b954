// The commands that add library files to the player's play list:
// "enqueuefile", "insertfile", "playfile", "enqueueplaylist", "playplaylist".
#pragma once

namespace lyrebox {

class RequestRouter;

void registerFileCommands(RequestRouter& router);

}  // namespace lyrebox
