// The last, slow correction of the normalised sound's level. Within audio/ only.
#pragma once

namespace conv {

// The normaliser sets each stretch's gain by its loudest moment, so music
// and film with quiet passages come out a few dB below the level speech
// reaches. This trim closes that gap from the programme's level so far: it
// moves at most 0.5 dB a second (no pumping), stays between -6 and +10 dB,
// and keeps the whole lift over the source within 24 dB.
class LoudnessTrim {
public:
    // The gain, as a factor, for the next `seconds` of normalised sound, given
    // the programme level so far of the normalised sound and of the source
    // (same weighting), and the dB the limiter after the trim has taken off it.
    // `lift` false: the programme is too quiet to be lifted. While `settling`,
    // the trim may jump straight to what it wants.
    double next(double normalised, double limited, double source, bool lift, double seconds, bool settling);

private:
    double decibels_ = 0;
};

}  // namespace conv
