// The synthesizer's MIDI handler: routes the generic handler's musical actions into the plug-in — the
// six performance controllers into the modulation routing's source rows, learned controllers into
// automated parameter changes, voice starts and releases into the render engine, the hold-2 pedal into
// the amplitude envelope's release time and program changes into a program switch; and hears from the
// engine when a released voice has fallen silent.
//
// Threads: every override runs where the handler dispatches, on the audio thread [audio].
#pragma once

#include "engine/TSynthEngine.h"
#include "midi/TMidiHandler.h"

namespace quillon {

class TCustomVSTMidiPlugin;

class TCustomMidiHandler : public TMidiHandler, public TSynthEngine::IVoiceListener {
public:
    // The plug-in owns the handler and outlives it.
    explicit TCustomMidiHandler(TCustomVSTMidiPlugin& plugin);

    void Aftertouch(int value) override;       // row aftertouch := value/127
    void PitchBend(int lsb, int msb) override; // row pitch bend := (msb·128 + lsb − 8192)/8192, −1 … 8191/8192
    void ModWheel(int value) override;         // row modulation wheel := value/127
    void Breath(int value) override;           // row breath := value/127
    void Expression(int value) override;       // row expression := (value − 64)/64, −1 … 63/64
    void SoftPedal(int value) override;        // row soft pedal := value/127
    // The bound parameter := 1.0 at 127, value/128 below, through setParameterAutomated so that the host
    // records the move.
    void LearnedControl(int controller, int value) override;
    // The engine starts and releases the voice (with the note this handler gave it) and silences them all.
    void VoiceStart(int voice, int velocity, bool legato) override;
    void VoiceRelease(int voice) override;
    void VoicesReset() override;
    void Hold2Changed() override; // the amplitude envelope's release time follows the pedal
    // The engine reports a released voice that fell silent: it is idle from now on.
    void VoiceFinished(int voice) override { TMidiHandler::VoiceFinished(voice); }
    // Switches program and asks the host to update its display; the events behind it wait for the switch.
    void ProgramChange(int program) override;

private:
    TCustomVSTMidiPlugin& plugin_;
};

} // namespace quillon
