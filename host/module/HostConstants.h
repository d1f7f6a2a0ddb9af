#pragma once
// Names the host gives to its commands and to shared run-time state.

// Host commands broadcast through CCommandDispatcher when the audio acquisition starts / stops.
inline constexpr const wchar_t* mcStartAudioSources = L"mcStartAudioSources";
inline constexpr const wchar_t* mcStopAudioSources = L"mcStopAudioSources";

// Messages-sea entry whose part 0 is "1" while a WAV file is being played back instead of
// acquiring.
inline constexpr const wchar_t* wpWavPlaybackRunning = L"WavPlaybackRunning";
