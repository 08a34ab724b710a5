// The handler: instance life, dispatch, track and stream information.
