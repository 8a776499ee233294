# fish completion for pelamo(1), installed as share/fish/vendor_completions.d/pelamo.fish.

# The names of the library's shows, as `pelamo --list` prints them first on each
# line. The library is the one after the first --library on the line, or the
# default one; a folder that holds no library is left alone: listing it would
# make a new library there.
function __pelamo_shows
    set -l tokens (commandline -opc)
    set -l library
    set -l at (contains -i -- --library $tokens)
    and set -q tokens[(math $at + 1)]
    and set library (string replace -r '^~(?=/|$)' -- $HOME $tokens[(math $at + 1)])
    set -l folder $library
    if test -z "$folder"
        set folder $HOME/.local/share/Pelamo
        set -q XDG_DATA_HOME[1]; and test -n "$XDG_DATA_HOME"
        and set folder $XDG_DATA_HOME/Pelamo
    end
    test -f "$folder/shows.json"; or return
    set -l arguments --list
    test -n "$library"; and set -a arguments --library $library
    set -l program (string replace -r '^~(?=/|$)' -- $HOME $tokens[1])
    $program $arguments 2>/dev/null </dev/null | string replace -r '\t title=.*' ''
end

# MP3 files and folders that complete the current token, from fish's own file
# completion: asked for a command that has no completions of its own.
function __pelamo_mp3_files
    set -l token (commandline -ct)
    complete -C"__pelamo_files_only $token" | string match -r -- '(?i)^[^\t]*(?:\.mp3|/)(?:\t.*)?$'
end

complete -c pelamo -f
complete -c pelamo -l list -d 'Print one line per show'
complete -c pelamo -l tag -d 'Tag MP3 files with the show given by --show'
complete -c pelamo -l show -x -a '(__pelamo_shows)' -d 'The show to tag with'
complete -c pelamo -l library -x -a '(__fish_complete_directories)' -d 'Use the library in another folder'
complete -c pelamo -l undo -d 'Put back every file of the newest batch'
complete -c pelamo -l snapshot -x -a '(__fish_complete_directories)' -d 'Render the windows into PNG files'
complete -c pelamo -l capture -x -a '(__fish_complete_directories)' -d 'Photograph the main window'
complete -c pelamo -l appearance -x -a 'light dark' -d 'The appearance of the capture'
complete -c pelamo -l size -x -d 'The window size of the capture, WIDTHxHEIGHT'
complete -c pelamo -l sample-dir -x -a '(__fish_complete_directories)' -d 'The folder tagged before the capture'
complete -c pelamo -l help -d 'Print the usage and the exit statuses'
complete -c pelamo -l version -d 'Print the version'
# Files and folders to tag, or to open in the window.
complete -c pelamo -n 'not string match -q -- "-*" (commandline -ct)' -a '(__pelamo_mp3_files)'
