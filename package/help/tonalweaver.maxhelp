{
	"patcher": {
		"fileversion": 1,
		"appversion": {
			"major": 8,
			"minor": 6,
			"revision": 0,
			"architecture": "x64",
			"modernui": 1
		},
		"classnamespace": "box",
		"rect": [
			80.0,
			80.0,
			1470.0,
			780.0
		],
		"bglocked": 0,
		"openinpresentation": 0,
		"default_fontsize": 12.0,
		"default_fontface": 0,
		"default_fontname": "Arial",
		"gridonopen": 1,
		"gridsize": [
			15.0,
			15.0
		],
		"gridsnaponopen": 1,
		"objectsnaponopen": 1,
		"statusbarvisible": 2,
		"toolbarvisible": 1,
		"boxanimatetime": 200,
		"enablehscroll": 1,
		"enablevscroll": 1,
		"description": "",
		"digest": "",
		"tags": "",
		"style": "",
		"boxes": [
			{
				"box": {
					"id": "obj-title",
					"maxclass": "comment",
					"numinlets": 1,
					"numoutlets": 0,
					"patching_rect": [
						15,
						10,
						600,
						27.0
					],
					"text": "tonalweaver - chord engine",
					"fontsize": 18.0
				}
			},
			{
				"box": {
					"id": "obj-about",
					"maxclass": "comment",
					"numinlets": 1,
					"numoutlets": 0,
					"patching_rect": [
						15,
						40,
						620,
						48.0
					],
					"text": "Reads chord symbols, voices chords and progressions, analyses them in a key and suggests what comes next. The page in the web view on the right is its interface; the messages below drive it from the patch.",
					"fontsize": 12.0
				}
			},
			{
				"box": {
					"id": "obj-bang",
					"maxclass": "message",
					"numinlets": 2,
					"numoutlets": 1,
					"outlettype": [
						""
					],
					"patching_rect": [
						15,
						100.0,
						290.0,
						22.0
					],
					"text": "bang"
				}
			},
			{
				"box": {
					"id": "obj-bang-note",
					"maxclass": "comment",
					"numinlets": 1,
					"numoutlets": 0,
					"patching_rect": [
						315,
						100.0,
						330,
						20.0
					],
					"text": "a C major triad out of the right outlet",
					"fontsize": 12.0
				}
			},
			{
				"box": {
					"id": "obj-parse-1",
					"maxclass": "message",
					"numinlets": 2,
					"numoutlets": 1,
					"outlettype": [
						""
					],
					"patching_rect": [
						15,
						132.0,
						290.0,
						22.0
					],
					"text": "parse Cm7/G"
				}
			},
			{
				"box": {
					"id": "obj-parse-1-note",
					"maxclass": "comment",
					"numinlets": 1,
					"numoutlets": 0,
					"patching_rect": [
						315,
						132.0,
						330,
						20.0
					],
					"text": "root, quality and bass out of the left outlet",
					"fontsize": 12.0
				}
			},
			{
				"box": {
					"id": "obj-parse-2",
					"maxclass": "message",
					"numinlets": 2,
					"numoutlets": 1,
					"outlettype": [
						""
					],
					"patching_rect": [
						15,
						164.0,
						290.0,
						22.0
					],
					"text": "parse Bbdim"
				}
			},
			{
				"box": {
					"id": "obj-parse-2-note",
					"maxclass": "comment",
					"numinlets": 1,
					"numoutlets": 0,
					"patching_rect": [
						315,
						164.0,
						330,
						20.0
					],
					"text": "a flat fifth without a fifth reads on a flat root",
					"fontsize": 12.0
				}
			},
			{
				"box": {
					"id": "obj-voicing-1",
					"maxclass": "message",
					"numinlets": 2,
					"numoutlets": 1,
					"outlettype": [
						""
					],
					"patching_rect": [
						15,
						196.0,
						290.0,
						22.0
					],
					"text": "voicing closed Cmaj7"
				}
			},
			{
				"box": {
					"id": "obj-voicing-1-note",
					"maxclass": "comment",
					"numinlets": 1,
					"numoutlets": 0,
					"patching_rect": [
						315,
						196.0,
						330,
						20.0
					],
					"text": "MIDI notes in octave 4 out of the right outlet",
					"fontsize": 12.0
				}
			},
			{
				"box": {
					"id": "obj-voicing-2",
					"maxclass": "message",
					"numinlets": 2,
					"numoutlets": 1,
					"outlettype": [
						""
					],
					"patching_rect": [
						15,
						228.0,
						290.0,
						22.0
					],
					"text": "voicing anthem Dm9"
				}
			},
			{
				"box": {
					"id": "obj-voicing-2-note",
					"maxclass": "comment",
					"numinlets": 1,
					"numoutlets": 0,
					"patching_rect": [
						315,
						228.0,
						330,
						20.0
					],
					"text": "style names: closed shell anthem split guide-color velmaro",
					"fontsize": 12.0
				}
			},
			{
				"box": {
					"id": "obj-voicing-3",
					"maxclass": "message",
					"numinlets": 2,
					"numoutlets": 1,
					"outlettype": [
						""
					],
					"patching_rect": [
						15,
						260.0,
						290.0,
						22.0
					],
					"text": "voicing velmaro F#m7b5"
				}
			},
			{
				"box": {
					"id": "obj-request-1",
					"maxclass": "message",
					"numinlets": 2,
					"numoutlets": 1,
					"outlettype": [
						""
					],
					"patching_rect": [
						15,
						292.0,
						290.0,
						22.0
					],
					"text": "parse_chord \"{\\\"chord\\\":\\\"Ebmaj9\\\"}\""
				}
			},
			{
				"box": {
					"id": "obj-request-1-note",
					"maxclass": "comment",
					"numinlets": 1,
					"numoutlets": 0,
					"patching_rect": [
						315,
						292.0,
						330,
						20.0
					],
					"text": "a request with its JSON text; the reply leaves the left outlet as toJweb",
					"fontsize": 12.0
				}
			},
			{
				"box": {
					"id": "obj-request-2",
					"maxclass": "message",
					"numinlets": 2,
					"numoutlets": 1,
					"outlettype": [
						""
					],
					"patching_rect": [
						15,
						324.0,
						290.0,
						22.0
					],
					"text": "fromJweb get_relevant_voicings \"{\\\"chord\\\":\\\"G13\\\"}\""
				}
			},
			{
				"box": {
					"id": "obj-request-2-note",
					"maxclass": "comment",
					"numinlets": 1,
					"numoutlets": 0,
					"patching_rect": [
						315,
						324.0,
						330,
						20.0
					],
					"text": "as the page sends it: type and JSON text",
					"fontsize": 12.0
				}
			},
			{
				"box": {
					"id": "obj-request-3",
					"maxclass": "message",
					"numinlets": 2,
					"numoutlets": 1,
					"outlettype": [
						""
					],
					"patching_rect": [
						15,
						356.0,
						290.0,
						22.0
					],
					"text": "get_version"
				}
			},
			{
				"box": {
					"id": "obj-request-4",
					"maxclass": "message",
					"numinlets": 2,
					"numoutlets": 1,
					"outlettype": [
						""
					],
					"patching_rect": [
						15,
						388.0,
						290.0,
						22.0
					],
					"text": "\"{\\\"type\\\":\\\"get_voicing_styles\\\"}\""
				}
			},
			{
				"box": {
					"id": "obj-request-4-note",
					"maxclass": "comment",
					"numinlets": 1,
					"numoutlets": 0,
					"patching_rect": [
						315,
						388.0,
						330,
						20.0
					],
					"text": "a request object as the message itself",
					"fontsize": 12.0
				}
			},
			{
				"box": {
					"id": "obj-tonalweaver",
					"maxclass": "newobj",
					"numinlets": 1,
					"numoutlets": 2,
					"outlettype": [
						"",
						"list"
					],
					"patching_rect": [
						15,
						440.0,
						90.0,
						22.0
					],
					"text": "tonalweaver"
				}
			},
			{
				"box": {
					"id": "obj-outlets",
					"maxclass": "comment",
					"numinlets": 1,
					"numoutlets": 0,
					"patching_rect": [
						115,
						440.0,
						400,
						20.0
					],
					"text": "left: replies to the page; right: MIDI note lists",
					"fontsize": 12.0
				}
			},
			{
				"box": {
					"id": "obj-print",
					"maxclass": "newobj",
					"numinlets": 1,
					"numoutlets": 0,
					"outlettype": [],
					"patching_rect": [
						15,
						490.0,
						130.0,
						22.0
					],
					"text": "print tonalweaver"
				}
			},
			{
				"box": {
					"id": "obj-iter",
					"maxclass": "newobj",
					"numinlets": 1,
					"numoutlets": 1,
					"outlettype": [
						""
					],
					"patching_rect": [
						260,
						490.0,
						40.0,
						22.0
					],
					"text": "iter"
				}
			},
			{
				"box": {
					"id": "obj-makenote",
					"maxclass": "newobj",
					"numinlets": 3,
					"numoutlets": 2,
					"outlettype": [
						"float",
						"float"
					],
					"patching_rect": [
						260,
						525.0,
						105.0,
						22.0
					],
					"text": "makenote 96 800"
				}
			},
			{
				"box": {
					"id": "obj-noteout",
					"maxclass": "newobj",
					"numinlets": 3,
					"numoutlets": 0,
					"outlettype": [],
					"patching_rect": [
						260,
						560.0,
						55.0,
						22.0
					],
					"text": "noteout"
				}
			},
			{
				"box": {
					"id": "obj-jweb",
					"maxclass": "jweb",
					"numinlets": 1,
					"numoutlets": 1,
					"outlettype": [
						""
					],
					"patching_rect": [
						680,
						40,
						760,
						640
					],
					"rendermode": 0
				}
			},
			{
				"box": {
					"id": "obj-page-loadbang",
					"maxclass": "newobj",
					"numinlets": 1,
					"numoutlets": 1,
					"outlettype": [
						"bang"
					],
					"patching_rect": [
						680,
						690,
						60.0,
						22.0
					],
					"text": "loadbang"
				}
			},
			{
				"box": {
					"id": "obj-page-read",
					"maxclass": "message",
					"numinlets": 2,
					"numoutlets": 1,
					"outlettype": [
						""
					],
					"patching_rect": [
						680,
						725,
						140.0,
						22.0
					],
					"text": "read tonalweaver.html"
				}
			}
		],
		"lines": [
			{
				"patchline": {
					"source": [
						"obj-bang",
						0
					],
					"destination": [
						"obj-tonalweaver",
						0
					]
				}
			},
			{
				"patchline": {
					"source": [
						"obj-parse-1",
						0
					],
					"destination": [
						"obj-tonalweaver",
						0
					]
				}
			},
			{
				"patchline": {
					"source": [
						"obj-parse-2",
						0
					],
					"destination": [
						"obj-tonalweaver",
						0
					]
				}
			},
			{
				"patchline": {
					"source": [
						"obj-voicing-1",
						0
					],
					"destination": [
						"obj-tonalweaver",
						0
					]
				}
			},
			{
				"patchline": {
					"source": [
						"obj-voicing-2",
						0
					],
					"destination": [
						"obj-tonalweaver",
						0
					]
				}
			},
			{
				"patchline": {
					"source": [
						"obj-voicing-3",
						0
					],
					"destination": [
						"obj-tonalweaver",
						0
					]
				}
			},
			{
				"patchline": {
					"source": [
						"obj-request-1",
						0
					],
					"destination": [
						"obj-tonalweaver",
						0
					]
				}
			},
			{
				"patchline": {
					"source": [
						"obj-request-2",
						0
					],
					"destination": [
						"obj-tonalweaver",
						0
					]
				}
			},
			{
				"patchline": {
					"source": [
						"obj-request-3",
						0
					],
					"destination": [
						"obj-tonalweaver",
						0
					]
				}
			},
			{
				"patchline": {
					"source": [
						"obj-request-4",
						0
					],
					"destination": [
						"obj-tonalweaver",
						0
					]
				}
			},
			{
				"patchline": {
					"source": [
						"obj-tonalweaver",
						0
					],
					"destination": [
						"obj-print",
						0
					]
				}
			},
			{
				"patchline": {
					"source": [
						"obj-tonalweaver",
						1
					],
					"destination": [
						"obj-iter",
						0
					]
				}
			},
			{
				"patchline": {
					"source": [
						"obj-iter",
						0
					],
					"destination": [
						"obj-makenote",
						0
					]
				}
			},
			{
				"patchline": {
					"source": [
						"obj-makenote",
						0
					],
					"destination": [
						"obj-noteout",
						0
					]
				}
			},
			{
				"patchline": {
					"source": [
						"obj-makenote",
						1
					],
					"destination": [
						"obj-noteout",
						1
					]
				}
			},
			{
				"patchline": {
					"source": [
						"obj-tonalweaver",
						0
					],
					"destination": [
						"obj-jweb",
						0
					]
				}
			},
			{
				"patchline": {
					"source": [
						"obj-jweb",
						0
					],
					"destination": [
						"obj-tonalweaver",
						0
					]
				}
			},
			{
				"patchline": {
					"source": [
						"obj-page-loadbang",
						0
					],
					"destination": [
						"obj-page-read",
						0
					]
				}
			},
			{
				"patchline": {
					"source": [
						"obj-page-read",
						0
					],
					"destination": [
						"obj-jweb",
						0
					]
				}
			}
		]
	}
}
