-- Creates an empty Ardour session with one stereo audio track, "guitar", and saves it.
-- Run by ardour7-lua: create-session.lua SESSION_FOLDER SESSION_NAME
io.stdout:setvbuf("no")

local folder, name = arg[1], arg[2]
if not folder or not name then
  error("usage: create-session.lua SESSION_FOLDER SESSION_NAME")
end

local session = create_session(folder, name, 44100)
if not session then
  error("cannot create the session " .. folder)
end
if Session:nominal_sample_rate() ~= 44100 then
  error("the session runs at " .. Session:nominal_sample_rate() .. " Hz, not 44100 Hz")
end

-- Two inputs, two outputs: the track feeds both channels of its region to the plug-in.
local tracks = Session:new_audio_track(2, 2, nil, 1, "guitar", ARDOUR.PresentationInfo.max_order,
                                       ARDOUR.TrackMode.Normal, true)
if tracks:size() ~= 1 then
  error("cannot add the track")
end

Session:save_state("", false, false, false, false, false)
close_session()
print("created the session " .. folder .. " (" .. AudioEngine:current_backend_name() .. " backend)")
