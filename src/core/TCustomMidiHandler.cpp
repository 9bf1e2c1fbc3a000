#include "core/TCustomMidiHandler.h"

#include "core/TCustomVSTMidiPlugin.h"
#include "engine/TEnvelopeHolder.h"
#include "engine/TModulationAssignment.h"

namespace quillon {

namespace {

float Unit(int value) {
    return static_cast<float>(value) / 127.0f;
}

} // namespace

TCustomMidiHandler::TCustomMidiHandler(TCustomVSTMidiPlugin& plugin) : plugin_(plugin) {}

void TCustomMidiHandler::Aftertouch(int value) {
    plugin_.Routing().SetSourceValue(TModulationAssignment::kRowAftertouch, Unit(value));
}

void TCustomMidiHandler::PitchBend(int lsb, int msb) {
    const int bend = msb * 128 + lsb - 8192;
    plugin_.Routing().SetSourceValue(TModulationAssignment::kRowPitchBend, static_cast<float>(bend) / 8192.0f);
}

void TCustomMidiHandler::ModWheel(int value) {
    plugin_.Routing().SetSourceValue(TModulationAssignment::kRowModWheel, Unit(value));
}

void TCustomMidiHandler::Breath(int value) {
    plugin_.Routing().SetSourceValue(TModulationAssignment::kRowBreath, Unit(value));
}

void TCustomMidiHandler::Expression(int value) {
    plugin_.Routing().SetSourceValue(TModulationAssignment::kRowExpression, static_cast<float>(value - 64) / 64.0f);
}

void TCustomMidiHandler::SoftPedal(int value) {
    plugin_.Routing().SetSourceValue(TModulationAssignment::kRowSoftPedal, Unit(value));
}

void TCustomMidiHandler::LearnedControl(int controller, int value) {
    const int parameter = Assignment(controller);
    if (parameter < 0 || parameter >= TVSTMidiPlugin::kParameterCount)
        return; // unbound, or a table entry no parameter answers to
    const float normalised = value > 126 ? 1.0f : static_cast<float>(value) / 128.0f;
    plugin_.setParameterAutomated(parameter, normalised);
}

void TCustomMidiHandler::VoiceStart(int voice, int velocity, bool legato) {
    plugin_.Engine().VoiceStart(voice, VoiceNote(voice), velocity, legato);
}

void TCustomMidiHandler::VoiceRelease(int voice) {
    plugin_.Engine().VoiceRelease(voice);
}

void TCustomMidiHandler::VoicesReset() {
    plugin_.Engine().ResetVoices();
}

void TCustomMidiHandler::Hold2Changed() {
    plugin_.Engine().SetAmplitudeReleaseTime(CurrentReleaseTime());
}

void TCustomMidiHandler::ProgramChange(int program) {
    plugin_.setProgram(program);
    plugin_.updateDisplay();
    // The switch happens at this event's frame: what follows it waits for the new program.
    if (plugin_.ProgramNeedsApply()) EndDispatch();
}

} // namespace quillon
