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
			60.0,
			60.0,
			1040.0,
			920.0
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
		"description": "The tonalweaver page wired to the object; voicings to MIDI out.",
		"digest": "",
		"tags": "",
		"style": "",
		"boxes": [
			{
				"box": {
					"id": "obj-about",
					"maxclass": "comment",
					"numinlets": 1,
					"numoutlets": 0,
					"patching_rect": [
						15,
						10,
						700,
						20.0
					],
					"text": "tonalweaver: type a progression in the page; voicings play through noteout (choose the MIDI port by double-clicking it).",
					"fontsize": 12.0
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
						15,
						40,
						1000,
						680
					],
					"rendermode": 0
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
						760,
						90.0,
						22.0
					],
					"text": "tonalweaver"
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
						300,
						725,
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
						300,
						760,
						140.0,
						22.0
					],
					"text": "read tonalweaver.html"
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
						15,
						800,
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
						15,
						835,
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
						15,
						870,
						55.0,
						22.0
					],
					"text": "noteout"
				}
			}
		],
		"lines": [
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
			}
		]
	}
}
