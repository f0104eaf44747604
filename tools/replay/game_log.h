// The game scene's part of the replay log: the phase, the player, the start
// and clear messages, the checkpoints, the gates and the clear camera. Each
// writes JSON null while the game scene is not running.
#pragma once
#include <ostream>

class CSlime;

// World positions of the slime's bone nodes, core first.
void WriteBones(std::ostream& out, const CSlime& slime);

void WritePhase(std::ostream& out);
void WritePlayer(std::ostream& out);
// How often a fallen player came back in this game.
void WriteFallReturns(std::ostream& out);
void WriteStartMessage(std::ostream& out);
void WriteClearMessage(std::ostream& out);
void WriteClearCamera(std::ostream& out);
void WriteCheckpoints(std::ostream& out);
void WriteGates(std::ostream& out);
